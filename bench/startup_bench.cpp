// Start-up and memory of the real program against a bare Qt window, measured from outside in one run
// (StartupRun): each started as a child process with the same environment, alternating. Then the time
// from a mouse press on a key to the frame's last byte on the serial line.

#include "bench/StartupRun.h"
#include "panels/PanelLayouts.h"
#include "tests/support/OptionsText.h"
#include "tests/support/PtyPair.h"

#include <fstream>
#include <stdexcept>
#include <string_view>

namespace {

constexpr double StartUpTargetRatio = 1.3;
constexpr double MemoryTargetMiB = 10;
constexpr int Runs = 7;
// The 721 panel, whose size the bare window has.
constexpr int Width = 663, Height = 170;

// The middle of the 721 panel's PLAY key; the bare window takes a press anywhere.
std::pair<int, int> pressPoint() {
    for (const PanelPart& part : panelLayout(PanelLayout::Brw721).parts)
        if (std::string_view(part.name) == "play_b") return {part.left + part.width / 2, part.top + part.height / 2};
    throw std::logic_error("the 721 panel has no play_b");
}

} // namespace

int main() {
    PtyPair line;
    StartupRun bench(Width, Height, {{"QT_QPA_PLATFORM", "xcb"}}, pressPoint(), &line);
    std::ofstream(bench.workFolder() + "/options.ini") << optionsText("BRW721", line.slavePath());
    StartupCandidate program{"lumevanta", LUMEVANTA_PATH, {}};
    StartupCandidate bare{"bare window", BARE_WINDOW_PATH, {line.slavePath()}};
    // The first start of each fills the page cache and writes the placement file: not counted.
    for (int run = 0; run <= Runs; ++run) {
        bench.run(bare, run > 0);
        bench.run(program, run > 0);
    }
    return reportStartup(program, bare, StartUpTargetRatio, MemoryTargetMiB) ? 0 : 1;
}
