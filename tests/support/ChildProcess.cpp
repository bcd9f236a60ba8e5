#include "tests/support/ChildProcess.h"

#include "tests/support/RecorderProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

using Clock = std::chrono::steady_clock;

ChildProcess::ChildProcess(const std::string& program, std::vector<std::string> args) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    pipe_.reset(fds[0]);
    const UniqueFd childEnd(fds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childEnd.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, childEnd.get(), STDERR_FILENO);
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

void ChildProcess::readAvailable(Clock::time_point deadline) {
    while (pipe_.valid() && waitReadable(pipe_.get(), deadline)) {
        char chunk[512];
        const ssize_t count = ::read(pipe_.get(), chunk, sizeof chunk);
        if (count <= 0) {
            pipe_.reset(); // the child and everything it started have closed their ends
            return;
        }
        output_.append(chunk, static_cast<std::size_t>(count));
    }
}

std::optional<int> ChildProcess::exitStatus(std::chrono::milliseconds limit) {
    if (pid_ <= 0) return std::nullopt;
    const auto deadline = Clock::now() + limit;
    readAvailable(deadline);
    for (;; std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (Clock::now() >= deadline) return std::nullopt;
    }
}
