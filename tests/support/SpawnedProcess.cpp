#include "tests/support/SpawnedProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

using Clock = std::chrono::steady_clock;

bool waitReadable(int fd, Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(std::max<long>(left.count(), 0))) > 0;
}

SpawnedProcess::SpawnedProcess(const std::string& program, const std::vector<std::string>& args, Output output) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    pipe_.reset(fds[0]);
    const UniqueFd childEnd(fds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childEnd.get(), STDOUT_FILENO);
    if (output == Output::StdoutAndStderr) posix_spawn_file_actions_adddup2(&actions, childEnd.get(), STDERR_FILENO);
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
}

SpawnedProcess::~SpawnedProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

void SpawnedProcess::signal(int number) const {
    if (pid_ > 0) ::kill(pid_, number);
}

std::optional<int> SpawnedProcess::exitStatus(Clock::time_point deadline) {
    if (pid_ <= 0) return std::nullopt;
    for (;; std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (Clock::now() >= deadline) return std::nullopt;
    }
}
