#include "bench/StartupRun.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

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

// The processor time that the process's threads still running have had so far: unlike the time on
// the clock, it does not depend on what else the machine is doing.
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

} // namespace

StartupRun::StartupRun(int width, int height, ChildProgram::Environment extra, std::pair<int, int> pressAt,
                       const PtyPair* pressLine)
    : width_(width), height_(height), pressAt_(pressAt), pressLine_(pressLine) {
    std::string pattern = (fs::temp_directory_path() / "startup-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
    home_ = pattern;
    const char* path = std::getenv("PATH");
    environment_ = {{"PATH", path ? path : "/usr/bin:/bin"},
                    {"HOME", folder("home")},
                    {"LANG", "C.UTF-8"},
                    {"XDG_RUNTIME_DIR", folder("runtime")},
                    {"XDG_CONFIG_HOME", folder("config")},
                    {"XDG_CACHE_HOME", folder("cache")}};
    environment_.merge(extra);
    workFolder_ = folder("work");
    servers_.resize(2);
    std::string display = ":";
    display += startServer(servers_[0], "/usr/bin/Xvfb", xvfbArgs, environment_);
    environment_["DISPLAY"] = display;
    screen_ = std::make_unique<ScreenWatch>(display);
    environment_["DBUS_SESSION_BUS_ADDRESS"] = startServer(servers_[1], "/usr/bin/dbus-daemon", busArgs, environment_);
}

StartupRun::~StartupRun() {
    // The programs go before their display and the folders they use.
    while (!servers_.empty())
        servers_.pop_back();
    fs::remove_all(home_);
}

std::string StartupRun::folder(const std::string& name) {
    const std::string path = home_ + "/" + name;
    fs::create_directories(path);
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

void StartupRun::keepRunning(const std::string& program, const std::vector<std::string>& args) {
    servers_.push_back(std::make_unique<ChildProgram>(program, args, environment_, workFolder_));
}

void StartupRun::run(StartupCandidate& candidate, bool counted) {
    screen_->reset();
    const auto start = Clock::now();
    ChildProgram child(candidate.program, candidate.args, environment_, workFolder_);
    const auto shown = screen_->waitShown(width_, height_, start + std::chrono::seconds(20));
    if (!shown) throw std::runtime_error(std::string(candidate.name) + " showed no window");
    const double cpu = cpuMs(child.pid());
    const Memory memory = settledMemory(child.pid());
    const double frame =
        pressLine_ ? pressToFrameMs(*screen_, *pressLine_, shown->left + pressAt_.first, shown->top + pressAt_.second)
                   : NAN;
    child.stop();
    if (!counted) return;
    candidate.figures.startMs.push_back(ms(shown->at - start));
    candidate.figures.startCpuMs.push_back(cpu);
    candidate.figures.residentMiB.push_back(memory.resident);
    candidate.figures.privateMiB.push_back(memory.privateAnon);
    candidate.figures.frameMs.push_back(frame);
}

bool reportStartup(const StartupCandidate& program, const StartupCandidate& baseline, double targetRatio,
                   double targetMiB) {
    const StartupFigures &p = program.figures, &b = baseline.figures;
    const double ratio = median(p.startMs) / median(b.startMs);
    const double extra = median(p.residentMiB) - median(b.residentMiB);
    std::printf("start-up, process start to panel drawn (median of %zu): %s %.1f ms, %s %.1f ms: x%.2f (target at "
                "most x%.1f)\n",
                p.startMs.size(), program.name, median(p.startMs), baseline.name, median(b.startMs), ratio,
                targetRatio);
    std::printf("  processor time by then, of the threads still running: %s %.1f ms, %s %.1f ms: x%.2f\n", program.name,
                median(p.startCpuMs), baseline.name, median(b.startCpuMs), median(p.startCpuMs) / median(b.startCpuMs));
    std::printf("resident memory once settled: %s %.1f MiB (private %.1f), %s %.1f MiB (private %.1f): +%.1f MiB "
                "(target at most +%.0f)\n",
                program.name, median(p.residentMiB), median(p.privateMiB), baseline.name, median(b.residentMiB),
                median(b.privateMiB), extra, targetMiB);
    if (!std::isnan(median(p.frameMs)))
        std::printf("press to the frame's last byte on the line: %s %.2f ms, %s %.2f ms\n", program.name,
                    median(p.frameMs), baseline.name, median(b.frameMs));
    const bool met = ratio <= targetRatio && extra <= targetMiB;
    std::printf("targets: %s\n", met ? "met" : "NOT met");
    return met;
}
