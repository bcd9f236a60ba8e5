#include "bench/ChildProgram.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void becomeProgram(const std::string& folder, int keepOpen, char** argv, char** envp) {
    const int devNull = ::open("/dev/null", O_RDWR);
    ::dup2(devNull, STDIN_FILENO);
    ::dup2(devNull, STDOUT_FILENO);
    ::dup2(devNull, STDERR_FILENO);
    // Nothing of the benchmark's (the X connection, the pseudo-terminal) but the one it hands on.
    if (keepOpen > STDERR_FILENO) {
        ::close_range(STDERR_FILENO + 1, static_cast<unsigned>(keepOpen) - 1, 0);
        ::close_range(static_cast<unsigned>(keepOpen) + 1, ~0U, 0);
        ::fcntl(keepOpen, F_SETFD, 0);
    } else {
        ::close_range(STDERR_FILENO + 1, ~0U, 0);
    }
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(126);
    ::execve(argv[0], argv, envp);
    ::_exit(127);
}

} // namespace

ChildProgram::ChildProgram(const std::string& program, const std::vector<std::string>& args,
                           const Environment& environment, const std::string& folder, int keepOpen) {
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : environment)
        envStrings.push_back(name + "=" + value);
    std::vector<char*> argv = pointersTo(argStrings), envp = pointersTo(envStrings);
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) becomeProgram(folder, keepOpen, argv.data(), envp.data());
}

ChildProgram::~ChildProgram() {
    stop(std::chrono::milliseconds(500));
}

bool ChildProgram::running() {
    if (pid_ < 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == 0) return true;
    pid_ = -1;
    return false;
}

void ChildProgram::stop(std::chrono::milliseconds patience) {
    if (!running()) return;
    ::kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + patience;
    while (running() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!running()) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string readLine(const UniqueFd& pipe, std::chrono::milliseconds limit) {
    std::string line;
    const auto deadline = Clock::now() + limit;
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{pipe.get(), POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
        char buffer[256];
        const ssize_t n = ::read(pipe.get(), buffer, sizeof buffer);
        if (n <= 0) return {};
        line.append(buffer, static_cast<std::size_t>(n));
    }
    return line.substr(0, line.find('\n'));
}
