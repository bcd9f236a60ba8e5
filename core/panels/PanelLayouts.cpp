#include "panels/PanelLayouts.h"

#include <algorithm>

namespace {

using enum Glyph;
using enum Lamp;
using enum WindowAction;

constexpr PanelPart key(const char* name, int left, int top, int width, int height, char code, int releasedId,
                        int packLine, const char* label, Glyph glyph, PcKeys pcKeys, const char* hint = nullptr) {
    return {name,
            PartKind::Key,
            left,
            top,
            width,
            height,
            releasedId,
            static_cast<std::uint8_t>(code),
            WindowAction::None,
            packLine,
            hint,
            Lamp::Busy,
            label,
            glyph,
            pcKeys};
}

constexpr Glyph glyphFor(WindowAction action) {
    return action == Preferences ? Options : action == HideToTray ? Minimise : Close;
}

constexpr PcKeys pcKeysFor(WindowAction action) {
    return {windowActionKey(action), nullptr};
}

constexpr PanelPart windowButton(const char* name, int left, int top, int width, int height, WindowAction action,
                                 int releasedId, int packLine, const char* hint = nullptr) {
    return {name,
            PartKind::WindowButton,
            left,
            top,
            width,
            height,
            releasedId,
            0,
            action,
            packLine,
            hint,
            Lamp::Busy,
            "",
            glyphFor(action),
            pcKeysFor(action)};
}

constexpr PanelPart lamp(const char* name, int left, int top, int width, int height, int offId, Lamp which,
                         const char* label) {
    return {name, PartKind::Lamp, left,  top,   width,     height, offId, 0, WindowAction::None,
            0,    nullptr,        which, label, LampLight, {}};
}

constexpr PanelPart lampStrip(const char* name, int left, int top, int width, int height, int darkId) {
    return {name,    PartKind::LampStrip, left, top,       width, height, darkId, 0, WindowAction::None, 0,
            nullptr, Lamp::Busy,          "",   LampLight, {}};
}

// clang-format off
// key(name, left, top, width, height, key code, released id, language-pack line, label, glyph, PC keys[, hint])
// windowButton(name, left, top, width, height, action, released id, language-pack line[, hint])
// lamp(name, left, top, width, height, off id, lamp, label)
// Pressed and lit pictures are the next id. Rows in stacking order: later ones lie on top.
// PC keys: channels 1 to 10 are the digits 1 to 9 and 0, channels 11 to 16 are F1 to F6. POWER has
// none, so that no stray key switches a recorder off. No key may work two buttons of one panel.
constexpr PanelPart parts774[] = {
    windowButton("options_b",  635,   3, 20, 13, Preferences,  15, 50),
    windowButton("close_b",    677,   3, 20, 13, Exit,          6, 52),
    key("slow_b",     351,  28, 33, 33, 'S',  25, 25, "SLOW",     Text,              {"L"}),
    key("rec_b",      400,  29, 32, 32, 'r',  17, 31, "REC",      Record,            {"R"}),
    key("key_lock_b", 464,  12, 23, 19, 'K',   8, 37, "KEY LOCK", KeyLock,           {"K"}),
    lampStrip("lights_img",  14,   9, 23, 121, 14),
    key("chan_1_b",   101,  30, 26, 29, '1',  30, 33, "1",        Text,              {"1"}),
    key("chan_2_b",   148,  32, 29, 27, '2',  32, 33, "2",        Text,              {"2"}),
    key("chan_3_b",   195,  31, 30, 28, '3',  34, 33, "3",        Text,              {"3"}),
    key("chan_4_b",   243,  31, 31, 28, '4',  36, 33, "4",        Text,              {"4"}),
    key("menu_b",      82, 110, 50, 27, 'M',  40, 22, "MENU",     Text,              {"Esc", "Backspace"}),
    key("enter_b",    131, 109, 49, 28, '\r',  44, 23, "ENTER",    Text,              {"Enter"}),
    key("zoom_b",     268, 109, 50, 28, 'Z',  52, 34, "ZOOM",     Text,              {"Z", "+"}),
    key("search_b",   179, 109, 51, 28, 's',  50, 24, "SEARCH",   Text,              {"F"}),
    key("picnpic_b",  318, 110, 49, 28, 'p',  46, 35, "PIP",      PictureInPicture,  {"I"}),
    key("four_pic_b", 367, 110, 49, 27, 'a',  42, 36, "4",        Split4,            {"Q"}),
    key("power_b",    633, 109, 50, 27, 'W',  48, 32, "POWER",    Power,             {}),
    key("left_b",     504,  53, 22, 54, 'L',  62, 26, "REW",      Left,              {"Left"}),
    key("up_b",       526,  33, 54, 21, 'U',  68, 27, "PAUSE",    Up,                {"Up", "P"}),
    key("right_b",    578,  52, 21, 55, 'R',  66, 28, "FF",       Right,             {"Right"}),
    key("down_b",     525, 106, 55, 20, 'N',  60, 29, "STOP",     Down,              {"Down", "S"}),
    key("play_b",     531,  60, 41, 39, 'P',  64, 30, "PLAY",     Play,              {"Space"}),
    windowButton("min_b",      656,   3, 20, 13, HideToTray,   54, 51),
};

constexpr PanelPart parts773[] = {
    windowButton("options_b",  548,   9, 24, 14, Preferences, 101, 50, "Настройки"),
    key("chan_1_b",    51,  57, 58, 34, '1', 103, 33, "1",        Text,              {"1"}),
    key("chan_2_b",   119,  57, 56, 33, '2', 105, 33, "2",        Text,              {"2"}),
    key("chan_3_b",    52,  97, 55, 33, '3', 107, 33, "3",        Text,              {"3"}),
    key("chan_4_b",   117,  97, 58, 33, '4', 109, 33, "4",        Text,              {"4"}),
    key("rec_b",      207,  58, 59, 34, 'r', 138, 31, "REC",      Record,            {"R"}),
    key("play_b",     267,  58, 59, 33, 'P', 132, 30, "PLAY",     Play,              {"Space"}),
    key("pause_b",    340,  58, 60, 34, 'U', 130, 27, "PAUSE",    Pause,             {"Up", "P"}),
    key("stop_b",     404,  59, 56, 32, 'N', 146, 29, "STOP",     Stop,              {"Down", "S"}),
    key("rew_b",      463,  59, 58, 32, 'L', 140, 26, "REW",      Rewind,            {"Left"}),
    key("ff_b",       522,  58, 58, 33, 'R', 117, 28, "FF",       FastForward,       {"Right"}),
    key("menu_b",     205, 114, 40, 35, 'M', 120, 22, "MENU",     Text,              {"Esc", "Backspace"}),
    key("enter_b",    247, 114, 38, 34, '\r', 115, 23, "ENTER",    Text,              {"Enter"}),
    key("search_b",   290, 114, 37, 34, 's', 142, 24, "SEARCH",   Text,              {"F"}, "Нажмите SEARCH для поиска ранее записанного изображения"),
    key("zoom_b",     345, 114, 34, 33, 'Z', 150, 34, "ZOOM",     Text,              {"Z"}),
    key("plus_b",     393, 113, 32, 34, 'p', 134, 35, "PIP",      Plus,              {"+"}),
    key("minus_b",    433, 112, 35, 35, 'Q', 124, 36, "SPLIT",    Minus,             {"-"}),
    key("slow_b",     475, 114, 37, 33, 'S', 144, 25, "SLOW",     Text,              {"L"}),
    key("power_b",    523, 111, 52, 50, 'W', 136, 32, "POWER",    Power,             {}),
    lamp("busy_lt",     24, 142, 30, 23, 111, Busy,   "BUSY"),
    lamp("work_lt",     63, 142, 34, 24, 148, Work,   "WORK"),
    lamp("ok_lt",      109, 142, 26, 25, 128, Ok,     "OK"),
    lamp("noline_lt",  147, 142, 39, 25, 126, NoLine, "NOLINE"),
    windowButton("min_b",      572,   9, 24, 14, HideToTray,  122, 51, "Свернуть в трей"),
    windowButton("close_b",    596,   9, 24, 14, Exit,        113, 52, "Выход из программы"),
};

constexpr PanelPart parts721[] = {
    key("slow_b",     261, 111, 62, 30, 'S', 201, 25, "SLOW",     Text,              {"L"}),
    key("search_b",   185, 111, 65, 30, 'H', 209, 24, "SEARCH",   Text,              {"F"}),
    key("enter_b",    111, 111, 62, 29, '\r', 203, 23, "ENTER",    Text,              {"Enter"}),
    key("menu_b",      37, 111, 59, 29, 'M', 205, 22, "MENU",     Text,              {"Esc", "Backspace"}),
    key("rec_b",      506, 118, 44, 40, 'r', 211, 31, "REC",      Record,            {"R"}),
    key("power_b",    582, 123, 59, 30, 'W', 207, 32, "POWER",    Power,             {}),
    key("left_b",     370,  53, 27, 69, 'L', 242, 26, "REW",      Left,              {"Left"}),
    key("up_b",       396,  28, 65, 27, 'U', 248, 27, "PAUSE",    Up,                {"Up", "P"}),
    key("right_b",    462,  53, 25, 66, 'R', 246, 28, "FF",       Right,             {"Right"}),
    key("play_b",     405,  62, 51, 50, 'P', 244, 30, "PLAY",     Play,              {"Space"}),
    key("down_b",     396, 120, 67, 25, 'N', 240, 29, "STOP",     Down,              {"Down", "S"}),
    lamp("lt_busy",     46,  35, 32, 28, 221, Busy,   "BUSY"),
    lamp("lt_work",    100,  36, 33, 27, 227, Work,   "WORK"),
    lamp("lt_ok",      144,  36, 29, 27, 225, Ok,     "OK"),
    lamp("lt_noline",  187,  36, 33, 27, 223, NoLine, "NOLINE"),
    windowButton("min_b",      616,   4, 22, 14, HideToTray,  231, 51),
    windowButton("close_b",    638,   4, 20, 14, Exit,        229, 52),
    windowButton("options_b",  594,   5, 22, 13, Preferences, 219, 50),
};

constexpr PanelPart parts777[] = {
    key("ch01_b",      14,  16, 25, 30, '1', 301, 33, "1",        Text,              {"1"}),
    key("ch02_b",      31,  57, 26, 29, '2', 303, 33, "2",        Text,              {"2"}),
    key("ch03_b",      49,  15, 25, 30, '3', 305, 33, "3",        Text,              {"3"}),
    key("ch04_b",      67,  56, 27, 31, '4', 307, 33, "4",        Text,              {"4"}),
    key("ch05_b",      84,  16, 26, 29, '5', 309, 33, "5",        Text,              {"5"}),
    key("ch06_b",     102,  56, 26, 32, '6', 311, 33, "6",        Text,              {"6"}),
    key("ch07_b",     123,  15, 23, 30, '7', 313, 33, "7",        Text,              {"7"}),
    key("ch08_b",     138,  56, 28, 30, '8', 315, 33, "8",        Text,              {"8"}),
    key("ch09_b",     160,  15, 23, 30, '9', 317, 33, "9",        Text,              {"9"}),
    key("ch10_b",     177,  56, 25, 31, 'A', 319, 33, "10",       Text,              {"0"}),
    key("ch12_b",     215,  54, 25, 31, 'C', 323, 33, "12",       Text,              {"F2"}),
    key("ch11_b",     197,  15, 22, 31, 'B', 321, 33, "11",       Text,              {"F1"}),
    key("ch14_b",     252,  56, 25, 31, 'E', 327, 33, "14",       Text,              {"F4"}),
    key("ch13_b",     235,  16, 21, 29, 'D', 325, 33, "13",       Text,              {"F3"}),
    key("ch15_b",     272,  15, 23, 31, 'F', 329, 33, "15",       Text,              {"F5"}),
    key("ch16_b",     290,  56, 24, 31, 'G', 331, 33, "16",       Text,              {"F6"}),
    key("menu_b",      19, 122, 69, 43, 'M', 354, 22, "MENU",     Text,              {"Esc", "Backspace"}),
    key("picnpic_b",  234, 126, 74, 42, 'p', 360, 35, "PIP",      PictureInPicture,  {"I"}),
    key("enter_b",     91, 124, 69, 42, '\r', 342, 23, "ENTER",    Text,              {"Enter"}),
    key("p_9pic_b",   164, 185, 72, 42, 'b', 337, 38, "9",        Split9,            {"N"}),
    key("zoom_b",     164, 124, 69, 42, 'Z', 376, 34, "ZOOM",     Text,              {"Z", "+"}),
    key("select_b",    21, 185, 71, 41, 's', 370, 39, "SELECT",   Text,              {"F"}),
    key("p_4pic_b",    91, 185, 71, 43, 'a', 335, 36, "4",        Split4,            {"Q"}),
    windowButton("close_b",    521,   3, 25, 14, Exit,        380, 52, "Выход из программы"),
    lamp("lt_busy",    319,   9, 18, 16, 346, Busy,   "BUSY"),
    key("p_16pic_b",  237, 186, 70, 42, 'c', 333, 40, "16",       Split16,           {"G"}),
    key("slow_b",     310, 126, 69, 40, 'S', 372, 25, "SLOW",     Text,              {"L"}),
    key("rec_b",      351,  46, 47, 40, 'r', 366, 31, "REC",      Record,            {"R"}),
    key("left_b",     393, 141, 28, 64, 'L', 344, 26, "REW",      Left,              {"Left"}),
    key("power_b",    421,  43, 70, 40, 'W', 364, 32, "POWER",    Power,             {}),
    key("up_b",       421, 113, 64, 27, 'U', 374, 27, "PAUSE",    Up,                {"Up", "P"}),
    key("down_b",     420, 205, 64, 25, 'N', 340, 29, "STOP",     Down,              {"Down", "S"}),
    lamp("lt_work",    360,   9, 16, 16, 352, Work,   "WORK"),
    key("right_b",    486, 140, 24, 65, 'R', 368, 28, "FF",       Right,             {"Right"}),
    lamp("lt_ok",      404,  10, 16, 15, 350, Ok,     "OK"),
    key("play_b",     428, 149, 50, 48, 'P', 362, 30, "PLAY",     Play,              {"Space"}),
    lamp("lt_noline",  444,  10, 15, 15, 348, NoLine, "NOLINE"),
    windowButton("opt_b",      472,   3, 24, 14, Preferences, 358, 50, "Настройки"),
    windowButton("min_b",      497,   3, 24, 14, HideToTray,  356, 51, "Свернуть в трей"),
    key("keylock_b",  334, 201, 23, 19, 'K', 378, 37, "KEY LOCK", KeyLock,           {"K"}),
};

constexpr PanelPart parts776[] = {
    key("ch01_b",      48,  32, 25, 27, '1', 401, 33, "1",        Text,              {"1"}),
    key("ch02_b",      83,  32, 29, 27, '2', 403, 33, "2",        Text,              {"2"}),
    key("ch03_b",     120,  32, 28, 28, '3', 405, 33, "3",        Text,              {"3"}),
    key("ch09_b",     349,  31, 28, 27, '9', 417, 33, "9",        Text,              {"9"}),
    key("ch06_b",     233,  31, 28, 28, '6', 411, 33, "6",        Text,              {"6"}),
    windowButton("min_b",      592,   3, 24, 14, HideToTray,  456, 51),
    windowButton("close_b",    616,   3, 25, 14, Exit,        480, 52),
    key("ch04_b",     157,  32, 29, 27, '4', 407, 33, "4",        Text,              {"4"}),
    key("ch05_b",     195,  32, 28, 27, '5', 409, 33, "5",        Text,              {"5"}),
    windowButton("options_b",  568,   3, 24, 14, Preferences, 458, 50),
    key("ch08_b",     309,  31, 30, 28, '8', 415, 33, "8",        Text,              {"8"}),
    key("ch07_b",     271,  31, 28, 28, '7', 413, 33, "7",        Text,              {"7"}),
    key("menu_b",      49, 106, 44, 25, 'M', 454, 22, "MENU",     Text,              {"Esc", "Backspace"}),
    key("enter_b",     93, 104, 43, 28, '\r', 442, 23, "ENTER",    Text,              {"Enter"}),
    key("p_4pic_b",   285, 105, 45, 28, 'a', 435, 36, "4",        Split4,            {"Q"}),
    key("slow_b",     405,  16, 40, 41, 'S', 472, 25, "SLOW",     Text,              {"L"}),
    key("search_b",   137, 106, 44, 27, 's', 470, 24, "SEARCH",   Text,              {"F"}),
    key("zoom_b",     193, 105, 45, 28, 'Z', 476, 34, "ZOOM",     Text,              {"Z", "+"}),
    key("rec_b",      404, 100, 41, 39, 'r', 466, 31, "REC",      Record,            {"R"}),
    key("right_b",    540,  51, 18, 56, 'R', 468, 28, "FF",       Right,             {"Right"}),
    key("play_b",     495,  58, 39, 42, 'P', 462, 30, "PLAY",     Play,              {"Space"}),
    key("power_b",    584, 102, 55, 33, 'W', 464, 32, "POWER",    Power,             {}),
    key("left_b",     471,  52, 18, 53, 'L', 444, 26, "REW",      Left,              {"Left"}),
    key("picnpic_b",  239, 105, 45, 29, 'p', 460, 35, "PIP",      PictureInPicture,  {"I"}),
    key("up_b",       487,  32, 53, 21, 'U', 474, 27, "PAUSE",    Up,                {"Up", "P"}),
    key("down_b",     488, 103, 52, 20, 'N', 440, 29, "STOP",     Down,              {"Down", "S"}),
    key("p_9pic_b",   331, 106, 46, 27, 'b', 437, 38, "9",        Split9,            {"N"}),
    lamp("lt_busy",     13,  20, 12, 14, 446, Busy,   "BUSY"),
    lamp("lt_work",     13,  48, 12, 12, 452, Work,   "WORK"),
    lamp("lt_ok",       13,  72, 11, 12, 450, Ok,     "OK"),
    lamp("lt_noline",   13,  96, 13, 14, 448, NoLine, "NOLINE"),
};
// clang-format on

constexpr PanelLayoutTable tables[] = {
    {PanelLayout::Brw774, "Tbrw774_frm", "BRW774", 700, 159, 134, 177, true, false, true, parts774},
    {PanelLayout::Brw773, "Tbrw773_frm", "BRW773", 629, 180, 165, 212, false, true, false, parts773},
    {PanelLayout::Brw721, "Tbrw721_frm", "BRW721", 663, 170, 147, 186, false, true, false, parts721},
    {PanelLayout::Brw777, "Tbrw777_frm", "BRW777", 549, 250, 192, 103, false, true, false, parts777},
    {PanelLayout::Brw776, "Tbrw776_frm", "BRW776", 643, 150, 184, 103, false, true, false, parts776},
};

} // namespace
const PanelLayoutTable& panelLayout(PanelLayout layout) {
    for (const auto& table : tables)
        if (table.layout == layout) return table;
    return tables[0];
}

int lampStripPicture(LampDisplay display) {
    switch (display) {
    case LampDisplay::LampsOff:
        return 14;
    case LampDisplay::ShowSending:
        return 11;
    case LampDisplay::ShowOk:
        return 12;
    case LampDisplay::ShowBusy:
        return 10;
    case LampDisplay::ShowNoLine:
        return 13;
    }
    return 14;
}

std::string pcKeyText(const PanelPart& part) {
    std::string text;
    for (const char* key : part.pcKeys) {
        if (!key) continue;
        if (!text.empty()) text += " or ";
        text += key;
    }
    return text;
}

std::vector<int> bitmapIds(const PanelLayoutTable& table) {
    std::vector<int> ids;
    for (const auto& part : table.parts) {
        if (part.kind == PartKind::LampStrip) {
            for (auto d : {LampDisplay::LampsOff, LampDisplay::ShowSending, LampDisplay::ShowOk, LampDisplay::ShowBusy,
                           LampDisplay::ShowNoLine})
                ids.push_back(lampStripPicture(d));
        } else {
            ids.push_back(part.releasedId);
            ids.push_back(part.pressedId());
        }
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}
