// Measures lumevanta-send from the outside: the time from starting it to its exit, for one key that
// the far end of a pseudo-terminal answers at once. The baseline of the same run opens the same
// pseudo-terminal in this process, writes the frame byte by byte, reads the answer and closes it;
// the start of a program that does nothing is shown beside it.

#include "tests/support/PtyPair.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Samples = 100;
constexpr double TargetExtraMs = 20.0;

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5)];
}

// The recorder: every frame on the far end is answered 'X' at once.
class Answerer {
public:
    explicit Answerer(const PtyPair& pty)
        : thread_([this, &pty] {
              std::size_t got = 0;
              while (!stop_) {
                  got += pty.read(5 - got, std::chrono::milliseconds(50)).size();
                  if (got < 5) continue;
                  got = 0;
                  pty.write({'X'});
                  ++answered;
              }
          }) {}
    ~Answerer() {
        stop_ = true;
        thread_.join();
    }
    std::atomic<int> answered{0};

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

double bareExchange(const std::string& path) {
    const auto start = Clock::now();
    UniqueFd line(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
    for (std::uint8_t b : {0xFF, 0xC0, 0x00, 0x50, 0x7F})
        [[maybe_unused]] auto n = ::write(line.get(), &b, 1);
    pollfd fd{line.get(), POLLIN, 0};
    ::poll(&fd, 1, 1000);
    std::uint8_t reply = 0;
    [[maybe_unused]] auto n = ::read(line.get(), &reply, 1);
    line.reset();
    return ms(Clock::now() - start);
}

// Starts the program, waits for it to end; the time and its exit status.
std::pair<double, int> timedRun(std::vector<std::string> argv) {
    std::vector<char*> args;
    for (std::string& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = -1;
    int status = -1;
    if (::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) ::waitpid(pid, &status, 0);
    const double taken = ms(Clock::now() - start);
    posix_spawn_file_actions_destroy(&actions);
    return {taken, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

void print(const char* what, const std::vector<double>& values) {
    std::printf("  %-46s p50 %7.2f ms   p99 %7.2f ms\n", what, percentile(values, 0.5), percentile(values, 0.99));
}

} // namespace

int main() {
    // No options file of the user's is read: the working folder and settings folder are empty.
    char folder[] = "/tmp/send-bench-XXXXXX";
    if (!::mkdtemp(folder) || ::chdir(folder) != 0) return 1;
    ::setenv("XDG_CONFIG_HOME", folder, 1);

    PtyPair pty;
    Answerer answerer(pty);
    std::vector<double> bare, sender, idle;
    int failures = 0;
    for (int i = 0; i < Samples; ++i) {
        bare.push_back(bareExchange(pty.slavePath()));
        const auto [taken, status] = timedRun({KEY_SENDER_PATH, "--port", pty.slavePath(), "0x50"});
        sender.push_back(taken);
        failures += status != 0;
        idle.push_back(timedRun({"/bin/true"}).first);
    }
    ::rmdir(folder);

    std::printf("lumevanta-send: one key answered at once, %d runs (%d answered)\n", Samples, answerer.answered.load());
    print("baseline: open, write the frame, read the answer", bare);
    print("baseline: start and end of /bin/true", idle);
    print("lumevanta-send --port PTY 0x50, start to exit", sender);
    const double extra = percentile(sender, 0.5) - percentile(bare, 0.5);
    std::printf("  beyond the bare exchange: %.2f ms at p50 (target under %.0f ms): %s\n", extra, TargetExtraMs,
                extra < TargetExtraMs ? "met" : "NOT met");
    if (failures) std::printf("  %d runs did not end with status 0\n", failures);
    return failures == 0 ? 0 : 1;
}
