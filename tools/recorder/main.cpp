#include "Options.h"
#include "Recorder.h"
#include "SerialLine.h"

#include <sys/signalfd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitBadArguments = 2;

// Stop requests arrive as readable data, so the main loop ends them like any other event
// and every destructor, the link's included, still runs.
Result<UniqueFd> stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    if (::sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) return errnoError("sigprocmask");
    UniqueFd fd(::signalfd(-1, &signals, SFD_CLOEXEC));
    if (!fd.valid()) return errnoError("signalfd");
    return fd;
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

int serve(const Options& options) {
    auto stop = stopSignals();
    if (auto* error = std::get_if<SystemError>(&stop)) return fail(*error);
    auto line = openLine(options);
    if (auto* error = std::get_if<SystemError>(&line)) return fail(*error);
    const SerialLine& serial = std::get<SerialLine>(line);

    std::optional<SymlinkGuard> link;
    if (!options.linkPath.empty()) {
        auto created = SymlinkGuard::create(options.linkPath, serial.devicePath);
        if (auto* error = std::get_if<SystemError>(&created)) return fail(*error);
        link.emplace(std::move(std::get<SymlinkGuard>(created)));
    }

    std::printf("device: %s\n", serial.devicePath.c_str());
    std::fflush(stdout);

    Recorder recorder(options, serial.io.get(), serial.devicePath);
    if (auto error = recorder.run(std::get<UniqueFd>(stop).get())) return fail(*error);
    return 0;
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
