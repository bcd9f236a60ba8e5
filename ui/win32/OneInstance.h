#pragma once

#include "win32/UniqueHandle.h"

#include <string>

// Lets one copy of a given program file run at a time: the first copy holds a named semaphore
// whose name is the program's full path with forward slashes (a name may not hold a backslash), so
// copies in different folders run side by side. The system lets go of it however the process ends.
class OneInstance {
public:
    explicit OneInstance(std::wstring programPath);
    ~OneInstance();
    OneInstance(const OneInstance&) = delete;
    OneInstance& operator=(const OneInstance&) = delete;

    // Only a semaphore held by another copy counts; one that cannot be set up at all (a name too
    // long for one) does not claim that the program is already running.
    bool AlreadyRunning() const { return alreadyRunning_; }
    // The semaphore's name, which the refusal shows as its caption.
    const std::wstring& name() const { return name_; }

    // The full path of the running program file.
    static std::wstring programPath();

private:
    std::wstring name_;
    UniqueHandle semaphore_;
    LONG releaseCount_ = 0;
    bool alreadyRunning_ = false;
};
