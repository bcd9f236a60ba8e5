#pragma once

#include "base/UniqueFd.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

// Waits until fd is readable or the deadline passes.
bool waitReadable(int fd, std::chrono::steady_clock::time_point deadline);

// The virtual recorder as a child process with its stdout read line by line; killed when the test ends.
class RecorderProcess {
public:
    explicit RecorderProcess(std::vector<std::string> args);
    RecorderProcess(const RecorderProcess&) = delete;
    RecorderProcess& operator=(const RecorderProcess&) = delete;
    ~RecorderProcess();

    std::optional<std::string> readLine();
    std::string devicePath();
    bool logs(const std::string& fragment);
    const std::vector<std::string>& history() const { return history_; }
    // Nullopt if it is still running when patience runs out.
    std::optional<int> exitStatus(int signal = 0);

private:
    pid_t pid_ = -1;
    UniqueFd output_;
    std::string buffered_;
    std::vector<std::string> history_;
};
