#include "panels/PanelParts.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

std::string partNameAt(int x, int y) {
    const PanelLayoutTable& table = panelLayout(PanelLayout::Brw721);
    const auto part = PanelParts::partAt(table, x, y);
    return part ? table.parts[*part].name : "img";
}

// A point goes to the topmost part there; the right and bottom edges belong to the next pixel.
TEST(PanelParts, PointsFindTheTopmostPart) {
    const struct {
        int x, y;
        const char* name;
    } cases[] = {
        {0, 0, "img"},     {37, 111, "menu_b"}, {95, 139, "menu_b"}, {96, 111, "img"},     {37, 140, "img"},
        {396, 53, "up_b"}, {370, 53, "left_b"}, {158, 49, "lt_ok"},  {640, 10, "close_b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(partNameAt(c.x, c.y), c.name) << c.x << "," << c.y;
}

TEST(PanelParts, KeysAnswerTheLeftButtonOnlyWindowButtonsAnyLampsNone) {
    const PanelLayoutTable& table = panelLayout(PanelLayout::Brw721);
    for (const PanelPart& part : table.parts) {
        const bool button = part.isButton();
        EXPECT_EQ(PanelParts::answersPress(part, true), button) << part.name;
        EXPECT_EQ(PanelParts::answersPress(part, false), part.kind == PartKind::WindowButton) << part.name;
    }
}

class ActionRecorder : public WindowActions {
public:
    void optionsRequested() override { calls += "options "; }
    void HideToTray() override { calls += "tray "; }
    void ExitProgram() override { calls += "exit "; }
    std::string calls;
};

// Only the window buttons act on their release, each with its own action; keys and lamps do nothing.
TEST(PanelParts, ReleasesActOnlyOnWindowButtons) {
    const auto expected = [](std::string_view name) -> std::string {
        if (name == "options_b" || name == "opt_b") return "options ";
        if (name == "min_b") return "tray ";
        if (name == "close_b") return "exit ";
        return "";
    };
    for (PanelLayout layout : creationOrder) {
        const PanelLayoutTable& table = panelLayout(layout);
        for (const PanelPart& part : table.parts) {
            ActionRecorder program;
            PanelParts::actOnRelease(part, program);
            EXPECT_EQ(program.calls, expected(part.name)) << table.caption << " " << part.name;
        }
    }
}

TEST(PanelParts, HintsEndWithThePcKeys) {
    const PanelLayoutTable& table = panelLayout(PanelLayout::Brw721);
    const auto hint = [&](const char* name, const char* text) {
        for (const PanelPart& part : table.parts)
            if (part.name == std::string_view(name)) return PanelParts::shownHint(part, text);
        return std::string("no such part");
    };
    EXPECT_EQ(hint("menu_b", "Menu"), "Menu (Esc or Backspace)");
    EXPECT_EQ(hint("menu_b", ""), "Esc or Backspace");
    EXPECT_EQ(hint("power_b", "Power"), "Power");
    EXPECT_EQ(hint("close_b", "Exit"), "Exit (Alt+F4)");
    EXPECT_EQ(hint("lt_ok", ""), "");
}

} // namespace
