// Start-up and memory of the real program against a bare Qt window, measured from outside in one run
// under a private Xvfb: each is started as a child process, and "shown" is the first drawing into its
// mapped 663 x 170 top-level window, as the X server reports it (Damage). Then its resident memory
// once it has settled, and the time from a mouse press on a key to the frame's last byte on the
// serial line. Both children get the same environment, a private session bus among it.

#include "bench/ChildProgram.h"
#include "bench/ScreenWatch.h"
#include "panels/PanelLayouts.h"
#include "tests/support/OptionsText.h"
#include "tests/support/PtyPair.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr double StartUpTargetRatio = 1.3;
constexpr double MemoryTargetMiB = 10;
constexpr int Runs = 7;
// The 721 panel, whose size the bare window has.
constexpr int Width = 663, Height = 170;

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? NAN : values[values.size() / 2];
}

struct Memory {
    double resident = 0, privateAnon = 0; // MiB
    bool operator==(const Memory&) const = default;
};

Memory memoryOf(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    Memory memory;
    std::string key;
    double kib = 0;
    while (status >> key) {
        if (key == "VmRSS:" && status >> kib) memory.resident = kib / 1024;
        if (key == "RssAnon:" && status >> kib) memory.privateAnon = kib / 1024;
        status.ignore(1 << 16, '\n');
    }
    return memory;
}

// The processor time that all the process's threads have had so far: unlike the time on the clock, it
// does not depend on what else the machine is doing.
double cpuMs(pid_t pid) {
    double total = 0;
    std::error_code error;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        double ns = 0;
        if (std::ifstream(task.path() / "schedstat") >> ns) total += ns / 1e6;
    }
    return total;
}

// What the process holds once it has stopped growing (the pictures it loads after showing included).
Memory settledMemory(pid_t pid) {
    Memory last = memoryOf(pid);
    int same = 0;
    const auto limit = Clock::now() + std::chrono::seconds(5);
    while (same < 6 && Clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const Memory now = memoryOf(pid);
        same = now == last ? same + 1 : 0;
        last = now;
    }
    return last;
}

// From the press to the fifth byte of the frame on the far end of the line.
double pressToFrameMs(ScreenWatch& screen, const PtyPair& line, int x, int y) {
    line.read(64, std::chrono::milliseconds(0));
    const auto start = Clock::now();
    screen.press(x, y);
    const auto frame = line.read(5, std::chrono::seconds(2));
    const double elapsed = ms(Clock::now() - start);
    screen.release();
    return frame.size() == 5 ? elapsed : NAN;
}

struct Figures {
    std::vector<double> startMs, startCpuMs, residentMiB, privateMiB, frameMs;
};

struct Candidate {
    const char* name;
    std::string program;
    std::vector<std::string> args;
    Figures figures;
};

class Bench {
public:
    Bench();
    ~Bench() { fs::remove_all(home_); }
    void run(Candidate& candidate, bool counted);

private:
    std::string folder(const std::string& name);
    void startXvfb();
    void startBus();

    std::string home_;
    ChildProgram::Environment environment_;
    std::unique_ptr<ChildProgram> xvfb_, bus_;
    std::unique_ptr<ScreenWatch> screen_;

public:
    PtyPair line;
    std::string workFolder;
};

std::string Bench::folder(const std::string& name) {
    const std::string path = home_ + "/" + name;
    fs::create_directories(path);
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

Bench::Bench() {
    std::string pattern = (fs::temp_directory_path() / "startup-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
    home_ = pattern;
    const char* path = std::getenv("PATH");
    environment_ = {{"PATH", path ? path : "/usr/bin:/bin"},
                    {"HOME", folder("home")},
                    {"LANG", "C.UTF-8"},
                    {"QT_QPA_PLATFORM", "xcb"},
                    {"XDG_RUNTIME_DIR", folder("runtime")},
                    {"XDG_CONFIG_HOME", folder("config")},
                    {"XDG_CACHE_HOME", folder("cache")}};
    workFolder = folder("work");
    std::ofstream(workFolder + "/options.ini") << optionsText("BRW721", line.slavePath());
    startXvfb();
    startBus();
}

// Starts a server that writes one line, once it is ready, to the descriptor named on its command line
// (an X display's number, a bus's address); that line is returned.
std::string startServer(std::unique_ptr<ChildProgram>& server, const std::string& program,
                        const std::function<std::vector<std::string>(int fd)>& args,
                        const ChildProgram::Environment& environment) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    UniqueFd readEnd(ends[0]), writeEnd(ends[1]);
    server = std::make_unique<ChildProgram>(program, args(writeEnd.get()), environment, std::string(), writeEnd.get());
    writeEnd.reset();
    std::string line = readLine(readEnd, std::chrono::seconds(10));
    if (line.empty()) throw std::runtime_error(program + " did not start");
    return line;
}

std::vector<std::string> xvfbArgs(int readyFd) {
    return {"-displayfd", std::to_string(readyFd), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"};
}

std::vector<std::string> busArgs(int readyFd) {
    return {"--session", "--nofork", "--print-address=" + std::to_string(readyFd)};
}

void Bench::startXvfb() {
    const std::string display = ":" + startServer(xvfb_, "/usr/bin/Xvfb", xvfbArgs, environment_);
    environment_["DISPLAY"] = display;
    screen_ = std::make_unique<ScreenWatch>(display);
}

void Bench::startBus() {
    environment_["DBUS_SESSION_BUS_ADDRESS"] = startServer(bus_, "/usr/bin/dbus-daemon", busArgs, environment_);
}

// The middle of the 721 panel's PLAY key; the bare window takes a press anywhere.
std::pair<int, int> pressPoint() {
    for (const PanelPart& part : panelLayout(PanelLayout::Brw721).parts)
        if (std::string_view(part.name) == "play_b") return {part.left + part.width / 2, part.top + part.height / 2};
    throw std::logic_error("the 721 panel has no play_b");
}

void Bench::run(Candidate& candidate, bool counted) {
    screen_->reset();
    const auto start = Clock::now();
    ChildProgram child(candidate.program, candidate.args, environment_, workFolder);
    const auto shown = screen_->waitShown(Width, Height, start + std::chrono::seconds(10));
    if (!shown) throw std::runtime_error(std::string(candidate.name) + " showed no window");
    const double cpu = cpuMs(child.pid());
    const Memory memory = settledMemory(child.pid());
    const auto [x, y] = pressPoint();
    const double frame = pressToFrameMs(*screen_, line, shown->left + x, shown->top + y);
    child.stop();
    if (!counted) return;
    candidate.figures.startMs.push_back(ms(shown->at - start));
    candidate.figures.startCpuMs.push_back(cpu);
    candidate.figures.residentMiB.push_back(memory.resident);
    candidate.figures.privateMiB.push_back(memory.privateAnon);
    candidate.figures.frameMs.push_back(frame);
}

} // namespace

int main() {
    Bench bench;
    Candidate program{"lumevanta", LUMEVANTA_PATH, {}, {}};
    Candidate bare{"bare window", BARE_WINDOW_PATH, {bench.line.slavePath()}, {}};
    // The first start of each fills the page cache and writes the placement file: not counted.
    for (int run = 0; run <= Runs; ++run) {
        bench.run(bare, run > 0);
        bench.run(program, run > 0);
    }
    const Figures &p = program.figures, &b = bare.figures;
    const double ratio = median(p.startMs) / median(b.startMs);
    const double extra = median(p.residentMiB) - median(b.residentMiB);
    std::printf("start-up, process start to panel drawn (median of %d): lumevanta %.1f ms, bare window %.1f ms: "
                "x%.2f (target at most x%.1f)\n",
                Runs, median(p.startMs), median(b.startMs), ratio, StartUpTargetRatio);
    std::printf("  processor time by then: lumevanta %.1f ms, bare window %.1f ms: x%.2f\n", median(p.startCpuMs),
                median(b.startCpuMs), median(p.startCpuMs) / median(b.startCpuMs));
    std::printf("resident memory once settled: lumevanta %.1f MiB (private %.1f), bare window %.1f MiB (private "
                "%.1f): +%.1f MiB (target at most +%.0f)\n",
                median(p.residentMiB), median(p.privateMiB), median(b.residentMiB), median(b.privateMiB), extra,
                MemoryTargetMiB);
    std::printf("press to the frame's last byte on the line: lumevanta %.2f ms, bare window %.2f ms\n",
                median(p.frameMs), median(b.frameMs));
    const bool met = ratio <= StartUpTargetRatio && extra <= MemoryTargetMiB;
    std::printf("targets: %s\n", met ? "met" : "NOT met");
    return met ? 0 : 1;
}
