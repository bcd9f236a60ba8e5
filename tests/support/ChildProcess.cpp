#include "tests/support/ChildProcess.h"

#include <unistd.h>

using Clock = std::chrono::steady_clock;

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args)
    : process_(program, args, SpawnedProcess::Output::StdoutAndStderr) {}

void ChildProcess::readAvailable(Clock::time_point deadline) {
    while (process_.output() >= 0 && waitReadable(process_.output(), deadline)) {
        char chunk[512];
        const ssize_t count = ::read(process_.output(), chunk, sizeof chunk);
        if (count <= 0) {
            process_.closeOutput(); // the child and everything it started have closed their ends
            return;
        }
        output_.append(chunk, static_cast<std::size_t>(count));
    }
}

std::optional<int> ChildProcess::exitStatus(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    readAvailable(deadline);
    return process_.exitStatus(deadline);
}
