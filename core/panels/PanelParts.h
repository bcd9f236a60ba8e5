#pragma once

#include "model/Lamps.h"
#include "panels/PanelLayouts.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a window button's release asks of the program.
class WindowActions {
public:
    virtual ~WindowActions() = default;
    // The options button: an ordinary opening of the preferences, then the panel is disabled.
    virtual void optionsRequested() = 0;
    virtual void HideToTray() = 0;
    virtual void ExitProgram() = 0;
};

// How a panel's parts answer the mouse, the keyboard and the lamp displays, for every front end:
// which part a point is on, whether a press acts on it, what a release does, which pictures a lamp
// display shows and what a part's hint says.
namespace PanelParts {

// The part a point of the panel is on: the topmost in stacking order, or none (the skin itself).
std::optional<std::size_t> partAt(const PanelLayoutTable& table, int x, int y);

// Key buttons answer the left mouse button only; window buttons any; lamps nothing.
bool answersPress(const PanelPart& part, bool leftHeld);

// A window button acts on its release; key buttons sent their key on the press.
void actOnRelease(const PanelPart& part, WindowActions& program);

struct PartPicture {
    std::size_t part; // index into the table's parts
    int id;
};

// The pictures a lamp display puts on the panel's lamps (or its strip), in the order it puts them.
std::vector<PartPicture> lampPictures(const PanelLayoutTable& table, LampDisplay display);

// The parts whose hint tells the line's state: the no-line lamp, or the lamp strip that shows it.
bool showsLinkState(const PanelPart& part);

// The hint as the language pack words it, then the part's PC keys in brackets ("Menu (Esc or
// Backspace)"); the keys alone without a hint, the hint alone without keys.
std::string shownHint(const PanelPart& part, std::string_view hint);

} // namespace PanelParts
