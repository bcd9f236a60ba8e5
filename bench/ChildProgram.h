#pragma once

#include "posix/UniqueFd.h"

#include <chrono>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

// A program started with an environment and a working folder of the caller's choosing, its output
// thrown away; ended (and reaped) when its owner goes if it still runs.
class ChildProgram {
public:
    using Environment = std::map<std::string, std::string>;

    // keepOpen: one descriptor of the caller's that the program inherits under the same number.
    ChildProgram(const std::string& program, const std::vector<std::string>& args, const Environment& environment,
                 const std::string& folder = {}, int keepOpen = -1);
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;
    ~ChildProgram();

    pid_t pid() const { return pid_; }
    bool running();
    // SIGTERM, then SIGKILL if it has not gone by the deadline.
    void stop(std::chrono::milliseconds patience = std::chrono::seconds(3));

private:
    pid_t pid_ = -1;
};

// Reads one line a child writes to the pipe (a display number, a bus address); empty if none came in time.
std::string readLine(const UniqueFd& pipe, std::chrono::milliseconds limit);
