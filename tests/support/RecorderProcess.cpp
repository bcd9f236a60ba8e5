#include "tests/support/RecorderProcess.h"

#include <unistd.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {
constexpr auto Patience = 2s;
} // namespace

RecorderProcess::RecorderProcess(const std::vector<std::string>& args)
    : process_(VIRTUAL_RECORDER_PATH, args, SpawnedProcess::Output::Stdout) {}

std::optional<std::string> RecorderProcess::readLine() {
    const auto deadline = Clock::now() + Patience;
    std::size_t end;
    while ((end = buffered_.find('\n')) == std::string::npos) {
        char chunk[512];
        if (!waitReadable(process_.output(), deadline)) return std::nullopt;
        const ssize_t count = ::read(process_.output(), chunk, sizeof chunk);
        if (count <= 0) return std::nullopt;
        buffered_.append(chunk, static_cast<std::size_t>(count));
    }
    history_.push_back(buffered_.substr(0, end));
    buffered_.erase(0, end + 1);
    return history_.back();
}

std::string RecorderProcess::devicePath() {
    const std::string prefix = "device: ";
    const auto line = readLine();
    return line && line->starts_with(prefix) ? line->substr(prefix.size()) : std::string();
}

std::string RecorderProcess::nextDevicePath() {
    const std::string prefix = "device: ";
    while (const auto line = readLine())
        if (line->starts_with(prefix)) return line->substr(prefix.size());
    return {};
}

void RecorderProcess::signal(int number) const {
    process_.signal(number);
}

bool RecorderProcess::logs(const std::string& fragment) {
    while (const auto line = readLine())
        if (line->find(fragment) != std::string::npos) return true;
    return false;
}

std::optional<int> RecorderProcess::exitStatus(int signal) {
    if (signal != 0) process_.signal(signal);
    return process_.exitStatus(Clock::now() + Patience);
}
