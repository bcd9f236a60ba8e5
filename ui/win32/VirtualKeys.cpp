#include "VirtualKeys.h"

#include <array>

namespace {

struct Named {
    std::string_view name;
    UINT key;
    UINT keypadKey; // 0: none
};

// The keypad's arrows and Enter are the same virtual keys as the main ones; its digits, '+' and '-'
// are keys of their own.
constexpr std::array<Named, 10> named = {{
    {"Esc", VK_ESCAPE, 0},
    {"Backspace", VK_BACK, 0},
    {"Enter", VK_RETURN, 0},
    {"Space", VK_SPACE, 0},
    {"Up", VK_UP, 0},
    {"Down", VK_DOWN, 0},
    {"Left", VK_LEFT, 0},
    {"Right", VK_RIGHT, 0},
    {"+", VK_OEM_PLUS, VK_ADD},
    {"-", VK_OEM_MINUS, VK_SUBTRACT},
}};

bool strip(std::string_view& text, std::string_view prefix) {
    if (!text.starts_with(prefix) || text.size() == prefix.size()) return false;
    text.remove_prefix(prefix.size());
    return true;
}

// F1 to F24, or nothing.
UINT functionKey(std::string_view text) {
    if (text.size() < 2 || text.size() > 3 || text[0] != 'F') return 0;
    int number = 0;
    for (char c : text.substr(1)) {
        if (c < '0' || c > '9') return 0;
        number = number * 10 + (c - '0');
    }
    return number >= 1 && number <= 24 ? static_cast<UINT>(VK_F1 + number - 1) : 0;
}

} // namespace

namespace VirtualKeys {

std::vector<Binding> bindings(std::string_view text) {
    Modifiers modifiers;
    for (bool more = true; more;) {
        more = false;
        if (strip(text, "Ctrl+")) more = modifiers.ctrl = true;
        if (strip(text, "Alt+")) more = modifiers.alt = true;
        if (strip(text, "Meta+")) more = modifiers.win = true;
    }
    std::vector<Binding> found;
    if (text.size() == 1 && text[0] >= 'A' && text[0] <= 'Z') found.push_back({static_cast<UINT>(text[0]), modifiers});
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '9') {
        found.push_back({static_cast<UINT>(text[0]), modifiers});
        found.push_back({static_cast<UINT>(VK_NUMPAD0 + (text[0] - '0')), modifiers});
    }
    if (const UINT key = functionKey(text)) found.push_back({key, modifiers});
    for (const Named& n : named) {
        if (n.name != text) continue;
        found.push_back({n.key, modifiers});
        if (n.keypadKey) found.push_back({n.keypadKey, modifiers});
    }
    return found;
}

Modifiers held() {
    const auto down = [](int key) { return GetKeyState(key) < 0; };
    return {down(VK_CONTROL), down(VK_MENU), down(VK_LWIN) || down(VK_RWIN)};
}

} // namespace VirtualKeys
