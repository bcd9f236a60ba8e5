#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

// The PC keys of the layout tables, written in Qt's portable key text ("P", "Ctrl+P", "Space", "+"),
// as Windows' virtual keys. Shift is left out, as on Linux: '+' needs it on many keyboards.
namespace VirtualKeys {

struct Modifiers {
    bool ctrl = false;
    bool alt = false;
    bool win = false;
    bool operator==(const Modifiers&) const = default;
};

struct Binding {
    UINT key;
    Modifiers modifiers;
};

// The keys a key text stands for: the main keyboard's first, then the keypad's where it has the same
// key; none for a text this table does not know.
std::vector<Binding> bindings(std::string_view text);

// The modifiers held now, as the thread's keyboard state has them.
Modifiers held();

} // namespace VirtualKeys
