// Measures the program's start-up in this process: from creating every form to the configured
// panel on screen (offscreen platform), and the memory that the forms and their pictures take.
// The baseline of the same run is a bare window of the panel's size shown the same way.

#include "app/ProgramForms.h"
#include "tests/support/OptionsText.h"
#include "tests/support/PtyPair.h"
#include "tests/support/ScopedWorkDir.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double StartUpTargetMs = 500;
constexpr double MemoryTargetMiB = 64;
constexpr int Runs = 7;

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double residentMiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kib = 0;
            status >> kib;
            return kib / 1024.0;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

void pumpUntil(const std::function<bool()>& done) {
    QTimer tick;
    tick.start(1);
    const auto limit = Clock::now() + std::chrono::seconds(10);
    while (!done() && Clock::now() < limit)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

double bareWindowMs() {
    const auto start = Clock::now();
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.resize(700, 159);
    window.show();
    pumpUntil([&] { return window.isVisible() && window.windowHandle() && window.windowHandle()->isExposed(); });
    return ms(Clock::now() - start);
}

// One start of the program: forms created, start-up run, the panel shown and exposed.
double programStartMs(const PtyPair& pty, double* residentGrowth) {
    ScopedWorkDir dir;
    dir.write("options.ini", optionsText("BRW774", pty.slavePath()));
    const double before = residentMiB();
    const auto start = Clock::now();
    ProgramForms forms;
    forms.basic->show();
    pumpUntil([&] {
        PanelForm* panel = forms.basic->ActivePanel();
        return panel && panel->isVisible() && panel->windowHandle() && panel->windowHandle()->isExposed();
    });
    const double elapsed = ms(Clock::now() - start);
    if (residentGrowth) *residentGrowth = residentMiB() - before;
    return elapsed;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    PtyPair pty;
    bareWindowMs(); // the platform's own first-window costs are not the program's
    std::vector<double> bare, program;
    double firstGrowth = 0;
    const double baseResident = residentMiB();
    for (int run = 0; run < Runs; ++run) {
        bare.push_back(bareWindowMs());
        program.push_back(programStartMs(pty, run == 0 ? &firstGrowth : nullptr));
    }
    const double afterRuns = residentMiB();

    const double startUp = median(program);
    std::printf("start-up, forms created to panel exposed (median of %d): %.1f ms; baseline bare window %.1f ms "
                "(x%.1f)\n",
                Runs, startUp, median(bare), startUp / std::max(median(bare), 0.001));
    std::printf("memory: first start adds %.1f MiB resident; after %d starts and teardowns %.1f MiB above the "
                "start (a leak would grow with every run)\n",
                firstGrowth, Runs, afterRuns - baseResident);
    const bool met = startUp < StartUpTargetMs && firstGrowth < MemoryTargetMiB;
    std::printf("targets: start-up under %.0f ms, memory under %.0f MiB: %s\n", StartUpTargetMs, MemoryTargetMiB,
                met ? "met" : "NOT met");
    return met ? 0 : 1;
}
