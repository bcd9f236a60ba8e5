// Start-up and memory of the Windows program under wine against a bare Win32 window under wine,
// measured from outside in one run (StartupRun), alternating. Both talk to the COM port that
// bench/win32-startup-bench.sh maps to a pseudo-terminal; both run on one wine server, started for
// the run on the run's display.
//   win32_startup_bench LUMEVANTA.exe BARE_WINDOW.exe   (WINEPREFIX and LUMEVANTA_TEST_PORT set)

#include "bench/StartupRun.h"
#include "tests/support/OptionsText.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace {

constexpr double StartUpTargetRatio = 1.5;
constexpr double MemoryTargetMiB = 30;
constexpr int Runs = 7;
constexpr int Width = 663, Height = 170;

std::string required(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) throw std::runtime_error(std::string(name) + " is not set");
    return value;
}

void runToEnd(const StartupRun& bench, const std::string& program, const std::vector<std::string>& args) {
    ChildProgram child(program, args, bench.environment());
    while (child.running())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s LUMEVANTA.exe BARE_WINDOW.exe\n", argv[0]);
        return 2;
    }
    const std::string port = required("LUMEVANTA_TEST_PORT");
    StartupRun bench(
        Width, Height,
        {{"WINEPREFIX", required("WINEPREFIX")}, {"WINEDEBUG", "-all"}, {"WINEDLLOVERRIDES", "mscoree,mshtml="}});
    std::ofstream(bench.workFolder() + "/options.ini") << optionsText("BRW721", port);
    // The server that mapped the port has no display: one with the run's, kept for every start.
    runToEnd(bench, "/usr/bin/wineserver", {"-k"});
    bench.keepRunning("/usr/bin/wineserver", {"-f", "-p"});
    StartupCandidate program{"lumevanta.exe", "/usr/bin/wine", {argv[1]}};
    StartupCandidate bare{"bare Win32 window", "/usr/bin/wine", {argv[2], port}};
    // The first start of each fills the page cache and writes the placement file: not counted.
    for (int run = 0; run <= Runs; ++run) {
        bench.run(bare, run > 0);
        bench.run(program, run > 0);
    }
    return reportStartup(program, bare, StartUpTargetRatio, MemoryTargetMiB) ? 0 : 1;
}
