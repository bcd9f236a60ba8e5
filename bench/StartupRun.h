#pragma once

#include "bench/ChildProgram.h"
#include "bench/ScreenWatch.h"
#include "tests/support/PtyPair.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Start-up and memory of programs measured from outside, one after another under a private Xvfb:
// each is started as a child process, and "shown" is the first drawing into its mapped top-level
// window of the size asked for, as the X server reports it (Damage). Then its resident memory once it
// has settled and, where a line is given, the time from a press to the frame's last byte on it.
struct StartupFigures {
    std::vector<double> startMs, startCpuMs, residentMiB, privateMiB, frameMs;
};

struct StartupCandidate {
    const char* name;
    std::string program;
    std::vector<std::string> args;
    StartupFigures figures{};
};

class StartupRun {
public:
    // The window watched for is width x height; a press at pressAt (in the window) is timed to the
    // frame on pressLine, when one is given. Every program gets the same environment: a private
    // home, runtime and settings folders, and what extra adds.
    StartupRun(int width, int height, ChildProgram::Environment extra, std::pair<int, int> pressAt = {},
               const PtyPair* pressLine = nullptr);
    StartupRun(const StartupRun&) = delete;
    StartupRun& operator=(const StartupRun&) = delete;
    ~StartupRun();

    // Where the programs start: the caller puts their options there.
    const std::string& workFolder() const { return workFolder_; }
    const ChildProgram::Environment& environment() const { return environment_; }
    // Starts a program that stays for the whole run (a server the candidates share).
    void keepRunning(const std::string& program, const std::vector<std::string>& args);

    // One start of the candidate; its figures are kept when counted.
    void run(StartupCandidate& candidate, bool counted);

private:
    std::string folder(const std::string& name);

    int width_, height_;
    std::pair<int, int> pressAt_;
    const PtyPair* pressLine_;
    std::string home_, workFolder_;
    ChildProgram::Environment environment_;
    std::vector<std::unique_ptr<ChildProgram>> servers_;
    std::unique_ptr<ScreenWatch> screen_;
};

// Prints the medians of the program's figures beside the baseline's; true when the start-up ratio and
// the extra resident memory are within the targets.
bool reportStartup(const StartupCandidate& program, const StartupCandidate& baseline, double targetRatio,
                   double targetMiB);
