#pragma once

#include "settings/ProfileFile.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// What a form's section of the placement file holds, and what a save writes there: the rules both
// programs keep, whatever their windows are made of. Positions are in screen pixels.
namespace StoredPlacement {

constexpr int FormVersion = 0;
constexpr int DefaultPixelsPerInch = 96;

enum class ShowState { Normal, Minimized, Maximized };

// The primary screen, whose size names the size-specific keys.
struct Desktop {
    int width = 0;
    int height = 0;
    int pixelsPerInch = DefaultPixelsPerInch;
};

struct Rect {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = 0;
    std::int64_t bottom = 0;
    std::int64_t width() const { return right - left; }
    std::int64_t height() const { return bottom - top; }
};

// What a save writes of a window.
struct Saved {
    int flags = 0;
    ShowState state = ShowState::Normal;
    // The minimized and maximized origins (x, y, x, y) and the normal rectangle; none where the
    // window system never says where a window is, so the positions stored before stay.
    std::optional<std::array<int, 4>> minMax;
    std::optional<Rect> normal;
    bool visible = false;
};

// The placement file's name for a program file: its name with ".INI" for its extension, without
// its folder.
std::string fileName(const std::string& programPath);

// The keys and values of a save, in the order they are written.
ProfileFile::KeyValues savedValues(const Saved& saved, const Desktop& desktop);

// A key of the form's section, empty when missing.
using Lookup = std::function<std::string(const std::string& key)>;

// Where the form's top-left corner goes: the stored normal rectangle's, when one is stored for this
// resolution and leaves enough of the form on one of the screens to take hold of and drag; else none.
// The size always stays the form's own (current).
struct Corner {
    std::int64_t x = 0;
    std::int64_t y = 0;
};
std::optional<Corner> storedCorner(const Lookup& read, const Desktop& desktop, const Rect& current,
                                   const std::vector<Rect>& screens);

// The stored show state; a form that cannot be resized is never maximized.
ShowState storedState(const Lookup& read, bool preventResize);

// The show command a "ShowCmd" holds for a state.
int showCmd(ShowState state);

} // namespace StoredPlacement
