#pragma once

#include "model/DeviceTypes.h"
#include "model/Lamps.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The five front panels as data: every component with its place, picture ids, key code and hint
// line. The panel forms, the artwork generator and the tests all read these tables.

enum class PartKind { Key, WindowButton, Lamp, LampStrip };
enum class WindowAction { None, Preferences, HideToTray, Exit };

// The key of a window button's action: the tray menu's shortcuts, and the window system's own close key.
constexpr const char* windowActionKey(WindowAction action) {
    return action == WindowAction::Preferences ? "Ctrl+P" : action == WindowAction::HideToTray ? "Ctrl+H" : "Alt+F4";
}

// What the artwork paints on a component: its label as text, or a symbol.
enum class Glyph {
    Text,
    Play,
    Up,
    Down,
    Left,
    Right,
    Pause,
    Stop,
    Rewind,
    FastForward,
    Record,
    Power,
    Split4,
    Split9,
    Split16,
    PictureInPicture,
    Plus,
    Minus,
    KeyLock,
    Options,
    Minimise,
    Close,
    LampLight,
};

// The PC keys that work a button from the keyboard, in Qt's portable key text ("Space", "Ctrl+P"):
// up to two, the unused ones null; none where no key comes naturally. "Enter" is either Enter key.
using PcKeys = std::array<const char*, 2>;

struct PanelPart {
    const char* name;
    PartKind kind;
    int left, top, width, height;
    int releasedId;      // a lamp's off picture; the strip's all-dark picture
    std::uint8_t key;    // key buttons only
    WindowAction action; // window buttons only
    int packLine;        // language-pack line of its hint; 0 for lamps
    const char* hint;    // design-time hint, or nullptr
    Lamp lamp;           // lamps only
    const char* label;
    Glyph glyph;
    PcKeys pcKeys; // buttons only

    int pressedId() const { return releasedId + 1; } // also a lamp's on picture
    bool isButton() const { return kind == PartKind::Key || kind == PartKind::WindowButton; }
};

struct PanelLayoutTable {
    PanelLayout layout;
    const char* className;
    const char* caption; // also the layout's name on the artwork
    int width, height;
    int designedLeft, designedTop;
    bool windowSystemPlacesIt; // the designed position is not used
    bool keepsWindowState;
    bool preventsResize;
    std::span<const PanelPart> parts; // stacking order, the skin picture below them all
};

inline constexpr std::array<PanelLayout, 5> creationOrder = {
    PanelLayout::Brw774, PanelLayout::Brw773, PanelLayout::Brw721, PanelLayout::Brw777, PanelLayout::Brw776};

const PanelLayoutTable& panelLayout(PanelLayout layout);

// Strip picture of the 774 lamps for each lamp display.
int lampStripPicture(LampDisplay display);

// A button's PC keys for people to read, "Esc or Backspace"; empty when it has none.
std::string pcKeyText(const PanelPart& part);

// Every bitmap id a panel shows, ascending: both pictures of each button and lamp, the strip's five.
std::vector<int> bitmapIds(const PanelLayoutTable& table);
