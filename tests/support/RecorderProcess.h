#pragma once

#include "tests/support/SpawnedProcess.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// The virtual recorder as a child process with its stdout read line by line; killed when the test ends.
class RecorderProcess {
public:
    explicit RecorderProcess(const std::vector<std::string>& args);

    std::optional<std::string> readLine();
    std::string devicePath();
    // The line it names when it has come back (after SIGUSR2), skipping what it logged meanwhile.
    std::string nextDevicePath();
    void signal(int number) const;
    bool logs(const std::string& fragment);
    const std::vector<std::string>& history() const { return history_; }
    // Nullopt if it is still running when patience runs out.
    std::optional<int> exitStatus(int signal = 0);

private:
    SpawnedProcess process_;
    std::string buffered_;
    std::vector<std::string> history_;
};
