#pragma once

#include "panels/PanelLayouts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The names keys go by on the command line: a key button's component name without "_b", in any
// case ("play", "ch01", "Key_Lock"), or a key code in decimal or hexadecimal ("49", "0x31").
namespace KeyNames {

struct Key {
    std::string label; // what the output calls it: the key's name, or the code as it was given
    std::uint8_t code;
};

std::string nameOf(const PanelPart& part);

// The panel's key buttons in table order.
std::vector<const PanelPart*> keysOf(const PanelLayoutTable& table);

// Without a table only codes are understood.
std::optional<Key> find(const PanelLayoutTable* table, std::string_view text);

// Names of the panel that the text may have been meant as: those it begins, or those within two
// typing mistakes of it.
std::vector<std::string> closeMatches(const PanelLayoutTable& table, std::string_view text);

} // namespace KeyNames
