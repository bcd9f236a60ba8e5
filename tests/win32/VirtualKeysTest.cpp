#include "VirtualKeys.h"

#include "panels/PanelLayouts.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

namespace {

using VirtualKeys::Binding;
using VirtualKeys::Modifiers;

std::pair<UINT, int> first(std::string_view text) {
    const auto found = VirtualKeys::bindings(text);
    if (found.empty()) return {0, 0};
    const Modifiers m = found.front().modifiers;
    return {found.front().key, (m.ctrl ? 1 : 0) | (m.alt ? 2 : 0) | (m.win ? 4 : 0)};
}

// Each kind of key text the tables use, and what Windows calls it (modifiers: 1 Ctrl, 2 Alt, 4 Win).
TEST(VirtualKeys, TheTablesKeyTextsAreWindowsKeys) {
    const struct {
        const char* text;
        UINT key;
        int modifiers;
        std::size_t count; // with the keypad's
    } cases[] = {
        {"P", 'P', 0, 1},
        {"0", '0', 0, 2},
        {"7", '7', 0, 2},
        {"F1", VK_F1, 0, 1},
        {"F6", VK_F6, 0, 1},
        {"Esc", VK_ESCAPE, 0, 1},
        {"Backspace", VK_BACK, 0, 1},
        {"Enter", VK_RETURN, 0, 1},
        {"Space", VK_SPACE, 0, 1},
        {"Left", VK_LEFT, 0, 1},
        {"+", VK_OEM_PLUS, 0, 2},
        {"-", VK_OEM_MINUS, 0, 2},
        {"Ctrl+P", 'P', 1, 1},
        {"Ctrl+H", 'H', 1, 1},
        {"Alt+F4", VK_F4, 2, 1},
        {"Meta+Up", VK_UP, 4, 1},
        {"Hyper+P", 0, 0, 0},
        {"F25", 0, 0, 0},
        {"Ctrl+", 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(first(c.text), std::make_pair(c.key, c.modifiers)) << c.text;
        EXPECT_EQ(VirtualKeys::bindings(c.text).size(), c.count) << c.text;
    }
    EXPECT_EQ(VirtualKeys::bindings("7").back().key, static_cast<UINT>(VK_NUMPAD7));
    EXPECT_EQ(VirtualKeys::bindings("+").back().key, static_cast<UINT>(VK_ADD));
}

// A key text Windows does not know would leave its button without its key there alone.
TEST(VirtualKeys, EveryPcKeyOfEveryPanelWorksOneButtonOnWindows) {
    for (PanelLayout layout : creationOrder) {
        const PanelLayoutTable& table = panelLayout(layout);
        std::map<std::pair<UINT, int>, std::string> owners;
        for (const PanelPart& part : table.parts) {
            for (const char* text : part.pcKeys) {
                if (!text) continue;
                const auto found = VirtualKeys::bindings(text);
                EXPECT_FALSE(found.empty()) << table.caption << " " << part.name << " " << text;
                for (const Binding& b : found) {
                    const auto key = std::make_pair(b.key, int{b.modifiers.ctrl} | int{b.modifiers.alt} << 1);
                    const auto [owner, added] = owners.emplace(key, part.name);
                    EXPECT_TRUE(added || owner->second == part.name)
                        << table.caption << ": " << text << " works " << owner->second << " and " << part.name;
                }
            }
        }
    }
}

} // namespace
