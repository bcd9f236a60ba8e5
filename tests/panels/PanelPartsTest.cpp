#include "panels/PanelParts.h"

#include <gtest/gtest.h>

#include <string>

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

} // namespace
