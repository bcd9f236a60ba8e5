#include "sender/KeyNames.h"

#include <gtest/gtest.h>

namespace {

const PanelLayoutTable& brw(PanelLayout layout) {
    return panelLayout(layout);
}

TEST(KeyNames, NamesAreTheTablesWithoutTheSuffixInAnyCase) {
    const struct Row {
        PanelLayout layout;
        const char* text;
        const char* label;
        std::uint8_t code;
    } rows[] = {
        {PanelLayout::Brw721, "play", "play", 'P'},     {PanelLayout::Brw721, "SEARCH", "search", 'H'},
        {PanelLayout::Brw774, "search", "search", 's'}, {PanelLayout::Brw774, "Key_Lock", "key_lock", 'K'},
        {PanelLayout::Brw773, "chan_4", "chan_4", '4'}, {PanelLayout::Brw777, "ch16", "ch16", 'G'},
        {PanelLayout::Brw776, "enter", "enter", '\r'},  {PanelLayout::Brw777, "p_16pic", "p_16pic", 'c'},
    };
    for (const Row& row : rows) {
        const auto key = KeyNames::find(&brw(row.layout), row.text);
        ASSERT_TRUE(key) << row.text;
        EXPECT_EQ(key->label, row.label);
        EXPECT_EQ(key->code, row.code) << row.text;
    }
}

TEST(KeyNames, CodesWorkWithOrWithoutAModel) {
    const struct Row {
        const char* text;
        std::optional<std::uint8_t> code;
    } rows[] = {{"0x31", 0x31},       {"49", 49},           {"0", 0},
                {"255", 255},         {"0xff", 255},        {"256", std::nullopt},
                {"-1", std::nullopt}, {"0x", std::nullopt}, {"12ab", std::nullopt}};
    for (const Row& row : rows) {
        const auto withModel = KeyNames::find(&brw(PanelLayout::Brw721), row.text);
        const auto without = KeyNames::find(nullptr, row.text);
        EXPECT_EQ(without.has_value(), row.code.has_value()) << row.text;
        if (!row.code) continue;
        ASSERT_TRUE(withModel && without) << row.text;
        EXPECT_EQ(without->code, *row.code) << row.text;
        EXPECT_EQ(without->label, row.text);
        EXPECT_EQ(withModel->code, *row.code);
    }
    EXPECT_FALSE(KeyNames::find(nullptr, "play")) << "names need a model";
}

TEST(KeyNames, OnlyKeyButtonsHaveNames) {
    for (const char* text : {"close", "min", "options", "lt_ok", "img", "play_b", "ch17"})
        EXPECT_FALSE(KeyNames::find(&brw(PanelLayout::Brw777), text)) << text;
    EXPECT_FALSE(KeyNames::find(&brw(PanelLayout::Brw721), "ch01")) << "the 721 has no channel keys";
}

TEST(KeyNames, CloseMatchesAreBeginningsAndSmallMistakes) {
    const struct Row {
        PanelLayout layout;
        const char* text;
        std::vector<std::string> matches;
    } rows[] = {
        {PanelLayout::Brw721, "pley", {"play"}},
        {PanelLayout::Brw721, "Plya", {"play"}},
        {PanelLayout::Brw721, "se", {"search"}},
        {PanelLayout::Brw773, "chan", {"chan_1", "chan_2", "chan_3", "chan_4"}},
        {PanelLayout::Brw777, "ch1", {"ch01", "ch10", "ch12", "ch11", "ch14", "ch13", "ch15", "ch16"}},
        {PanelLayout::Brw721, "rc", {"rec"}},
        {PanelLayout::Brw721, "p", {"power", "play"}},
        {PanelLayout::Brw721, "recc", {"rec"}},
        {PanelLayout::Brw773, "stpo", {"stop"}},
        {PanelLayout::Brw773, "xy", {}},
        {PanelLayout::Brw721, "television", {}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(KeyNames::closeMatches(brw(row.layout), row.text), row.matches) << row.text;
}

TEST(KeyNames, EveryKeyButtonIsListedOnceInTableOrder) {
    const auto keys = KeyNames::keysOf(brw(PanelLayout::Brw721));
    ASSERT_EQ(keys.size(), 11u);
    EXPECT_EQ(KeyNames::nameOf(*keys.front()), "slow");
    EXPECT_EQ(KeyNames::nameOf(*keys.back()), "down");
    EXPECT_EQ(KeyNames::keysOf(brw(PanelLayout::Brw777)).size(), 33u);
}

} // namespace
