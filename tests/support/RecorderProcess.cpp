#include "tests/support/RecorderProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {
constexpr auto Patience = 2s;
} // namespace

bool waitReadable(int fd, Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(std::max<long>(left.count(), 0))) > 0;
}

RecorderProcess::RecorderProcess(std::vector<std::string> args) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
    output_.reset(pipeFds[0]);
    const UniqueFd childEnd(pipeFds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childEnd.get(), STDOUT_FILENO);
    std::string program = VIRTUAL_RECORDER_PATH;
    std::vector<char*> argv{program.data()};
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
}

RecorderProcess::~RecorderProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

std::optional<std::string> RecorderProcess::readLine() {
    const auto deadline = Clock::now() + Patience;
    std::size_t end;
    while ((end = buffered_.find('\n')) == std::string::npos) {
        char chunk[512];
        if (!waitReadable(output_.get(), deadline)) return std::nullopt;
        const ssize_t count = ::read(output_.get(), chunk, sizeof chunk);
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
    if (pid_ > 0) ::kill(pid_, number);
}

bool RecorderProcess::logs(const std::string& fragment) {
    while (const auto line = readLine())
        if (line->find(fragment) != std::string::npos) return true;
    return false;
}

std::optional<int> RecorderProcess::exitStatus(int signal) {
    if (signal != 0) ::kill(pid_, signal);
    for (const auto deadline = Clock::now() + Patience; Clock::now() < deadline; std::this_thread::sleep_for(10ms)) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) continue;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return std::nullopt;
}
