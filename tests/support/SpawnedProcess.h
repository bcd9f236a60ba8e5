#pragma once

#include "posix/UniqueFd.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

// Waits until fd is readable or the deadline passes.
bool waitReadable(int fd, std::chrono::steady_clock::time_point deadline);

// A program run as a child process, its output coming through a pipe; killed when the owner ends
// if it still runs.
class SpawnedProcess {
public:
    enum class Output { Stdout, StdoutAndStderr };

    SpawnedProcess(const std::string& program, const std::vector<std::string>& args, Output output);
    SpawnedProcess(const SpawnedProcess&) = delete;
    SpawnedProcess& operator=(const SpawnedProcess&) = delete;
    ~SpawnedProcess();

    // The pipe's read end; invalid once closed or when the program could not be started.
    int output() const { return pipe_.get(); }
    void closeOutput() { pipe_.reset(); }
    void signal(int number) const;
    // Its exit status (128 + the signal when a signal ended it), or nullopt if it still runs at the deadline.
    std::optional<int> exitStatus(std::chrono::steady_clock::time_point deadline);

private:
    pid_t pid_ = -1;
    UniqueFd pipe_;
};
