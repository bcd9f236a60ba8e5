#include "Options.h"
#include "Recorder.h"
#include "SerialLine.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitBadArguments = 2;
// The recorder hangs up its line and takes its link away on the first, and comes back at the same
// link with a new line on the second.
constexpr int VanishSignal = SIGUSR1;
constexpr int ReturnSignal = SIGUSR2;

// Stop and hang-up requests arrive as readable data, so the main loop ends them like any other
// event and every destructor, the link's included, still runs.
Result<UniqueFd> controlSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : {SIGINT, SIGTERM, VanishSignal, ReturnSignal})
        sigaddset(&signals, signal);
    if (::sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) return errnoError("sigprocmask");
    UniqueFd fd(::signalfd(-1, &signals, SFD_CLOEXEC));
    if (!fd.valid()) return errnoError("signalfd");
    return fd;
}

int takeSignal(int signals) {
    signalfd_siginfo info{};
    while (::read(signals, &info, sizeof info) != static_cast<ssize_t>(sizeof info))
        if (errno != EINTR) return SIGTERM;
    return static_cast<int>(info.ssi_signo);
}

Result<SerialLine> openLine(const Options& options) {
    const speed_t speed = termiosSpeed(options.speed).value_or(B9600);
    if (options.devicePath.empty()) return openPseudoTerminal(speed);
    return openSerialDevice(options.devicePath, speed);
}

// Installed, the program is lumevanta-virtual-recorder; in the build tree, virtual-recorder.
std::string programName = "virtual-recorder";

int fail(const SystemError& error) {
    std::fprintf(stderr, "%s: %s\n", programName.c_str(), error.describe().c_str());
    return ExitFailure;
}

enum class Next { Stop, Vanish };

// Puts the recorder on the line until it is told to stop or to vanish; leaving closes the line and
// takes the link away, so the remote control sees a device that has gone.
Result<Next> serveLine(const Options& options, int signals) {
    auto line = openLine(options);
    if (auto* error = std::get_if<SystemError>(&line)) return *error;
    const SerialLine& serial = std::get<SerialLine>(line);

    std::optional<SymlinkGuard> link;
    if (!options.linkPath.empty()) {
        auto created = SymlinkGuard::create(options.linkPath, serial.devicePath);
        if (auto* error = std::get_if<SystemError>(&created)) return *error;
        link.emplace(std::move(std::get<SymlinkGuard>(created)));
    }

    std::printf("device: %s\n", serial.devicePath.c_str());
    std::fflush(stdout);

    Recorder recorder(options, serial.io.get(), serial.devicePath);
    for (;;) {
        if (auto error = recorder.run(signals)) return *error;
        const int signal = takeSignal(signals);
        if (signal == VanishSignal) return Next::Vanish;
        if (signal != ReturnSignal) return Next::Stop; // already here: nothing to come back from
    }
}

// Waits while gone; true when told to come back.
bool waitForReturn(int signals) {
    for (;;) {
        const int signal = takeSignal(signals);
        if (signal == ReturnSignal) return true;
        if (signal != VanishSignal) return false;
    }
}

int serve(const Options& options) {
    auto signals = controlSignals();
    if (auto* error = std::get_if<SystemError>(&signals)) return fail(*error);
    const int signalFd = std::get<UniqueFd>(signals).get();
    for (;;) {
        auto next = serveLine(options, signalFd);
        if (auto* error = std::get_if<SystemError>(&next)) return fail(*error);
        if (std::get<Next>(next) == Next::Stop) return 0;
        logLine("vanished: line hung up, link removed");
        if (!waitForReturn(signalFd)) return 0;
        logLine("returning");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 0) programName = std::filesystem::path(argv[0]).filename().string();
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const ParsedArguments parsed = parseArguments(args);
    switch (parsed.outcome) {
    case ParsedArguments::Outcome::ShowHelp:
        std::fputs(usage(programName).c_str(), stdout);
        return 0;
    case ParsedArguments::Outcome::Invalid:
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", programName.c_str(), parsed.error.c_str(),
                     programName.c_str());
        return ExitBadArguments;
    case ParsedArguments::Outcome::Run:
        break;
    }
    return serve(parsed.options);
}
