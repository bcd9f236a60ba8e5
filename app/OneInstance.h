#pragma once

#include "base/UniqueFd.h"

#include <QString>

// Lets one copy of a given program file run at a time: the first copy holds a lock named after the
// program's full path, which the system releases whenever the process ends, however it ends.
// Copies of the program in different folders have different locks and run side by side.
class OneInstance {
public:
    explicit OneInstance(const QString& programPath, const QString& lockFolder = defaultLockFolder());

    bool AlreadyRunning() const { return alreadyRunning_; }
    // The program path with forward slashes, as the refusal message shows it.
    const QString& name() const { return name_; }
    // The user's own folder the lock lives in; the channel to the running copy lies beside it.
    const QString& folder() const { return folder_; }

    static QString defaultLockFolder();

private:
    QString name_;
    QString folder_;
    UniqueFd lock_;
    bool alreadyRunning_ = false;
};
