#pragma once

#include "tests/support/SpawnedProcess.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// A program run as a child process with its standard output and error collected together; killed
// when the test ends if it is still running.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args);

    // Its exit status, or nullopt if it still runs when the time is up.
    std::optional<int> exitStatus(std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Everything it wrote until it ended (or until exitStatus gave up waiting).
    const std::string& output() const { return output_; }

private:
    void readAvailable(std::chrono::steady_clock::time_point deadline);

    SpawnedProcess process_;
    std::string output_;
};
