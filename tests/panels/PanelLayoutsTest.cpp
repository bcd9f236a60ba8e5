#include "panels/PanelLayouts.h"
#include "model/DeviceTypes.h"

#include <gtest/gtest.h>

#include <QKeySequence>
#include <QRect>

#include <algorithm>
#include <map>
#include <set>
#include <string>

namespace {

std::vector<int> ranges(std::initializer_list<std::pair<int, int>> spans) {
    std::vector<int> ids;
    for (auto [first, last] : spans)
        for (int id = first; id <= last; ++id)
            ids.push_back(id);
    return ids;
}

TEST(PanelLayouts, EachPanelShowsExactlyItsBitmaps) {
    EXPECT_EQ(bitmapIds(panelLayout(PanelLayout::Brw774)), ranges({{6, 18}, {25, 26}, {30, 37}, {40, 55}, {60, 69}}));
    EXPECT_EQ(bitmapIds(panelLayout(PanelLayout::Brw773)), ranges({{101, 118}, {120, 151}}));
    EXPECT_EQ(bitmapIds(panelLayout(PanelLayout::Brw721)), ranges({{201, 212}, {219, 232}, {240, 249}}));
    EXPECT_EQ(bitmapIds(panelLayout(PanelLayout::Brw777)), ranges({{301, 338}, {340, 381}}));
    EXPECT_EQ(bitmapIds(panelLayout(PanelLayout::Brw776)), ranges({{401, 418}, {435, 438}, {440, 477}, {480, 481}}));
    std::size_t total = 0;
    for (PanelLayout layout : creationOrder)
        total += bitmapIds(panelLayout(layout)).size();
    EXPECT_EQ(total, 277u);
}

TEST(PanelLayouts, EveryComponentLiesInsideItsWindow) {
    for (PanelLayout layout : creationOrder) {
        const auto& table = panelLayout(layout);
        const QRect window(0, 0, table.width, table.height);
        for (const auto& part : table.parts)
            EXPECT_TRUE(window.contains(QRect(part.left, part.top, part.width, part.height))) << part.name;
    }
}

TEST(PanelLayouts, KeyCodesFollowTheRecordersVocabulary) {
    // The same meaning sends the same code everywhere, with the few differences the recorders have.
    const std::map<std::string, char> everywhere = {
        {"enter_b", '\r'},  {"menu_b", 'M'},    {"slow_b", 'S'},     {"rec_b", 'r'},      {"power_b", 'W'},
        {"play_b", 'P'},    {"up_b", 'U'},      {"pause_b", 'U'},    {"down_b", 'N'},     {"stop_b", 'N'},
        {"left_b", 'L'},    {"rew_b", 'L'},     {"right_b", 'R'},    {"ff_b", 'R'},       {"zoom_b", 'Z'},
        {"picnpic_b", 'p'}, {"plus_b", 'p'},    {"minus_b", 'Q'},    {"four_pic_b", 'a'}, {"p_4pic_b", 'a'},
        {"p_9pic_b", 'b'},  {"p_16pic_b", 'c'}, {"key_lock_b", 'K'}, {"keylock_b", 'K'},  {"select_b", 's'},
    };
    for (PanelLayout layout : creationOrder) {
        for (const auto& part : panelLayout(layout).parts) {
            if (part.kind != PartKind::Key) continue;
            const std::string name = part.name;
            if (name == "search_b") {
                EXPECT_EQ(part.key, layout == PanelLayout::Brw721 ? 'H' : 's') << name;
            } else if (name.starts_with("chan_")) {
                EXPECT_EQ(part.key, name[5]) << name;
            } else if (name.starts_with("ch")) {
                const int channel = std::stoi(name.substr(2, 2));
                EXPECT_EQ(part.key, channel <= 9 ? '0' + channel : 'A' + channel - 10) << name;
                EXPECT_EQ(part.packLine, 33) << name;
            } else {
                ASSERT_TRUE(everywhere.count(name)) << name;
                EXPECT_EQ(part.key, everywhere.at(name)) << name;
            }
        }
    }
}

TEST(PanelLayouts, EachPanelHasItsWindowButtonsAndLamps) {
    for (PanelLayout layout : creationOrder) {
        const auto& table = panelLayout(layout);
        std::multiset<WindowAction> actions;
        std::set<Lamp> lamps;
        int strips = 0;
        for (const auto& part : table.parts) {
            if (part.kind == PartKind::WindowButton) actions.insert(part.action);
            if (part.kind == PartKind::Lamp) lamps.insert(part.lamp);
            strips += part.kind == PartKind::LampStrip;
        }
        EXPECT_EQ(actions, (std::multiset<WindowAction>{WindowAction::Preferences, WindowAction::HideToTray,
                                                        WindowAction::Exit}))
            << table.caption;
        if (layout == PanelLayout::Brw774) {
            EXPECT_EQ(strips, 1);
            EXPECT_TRUE(lamps.empty());
        } else {
            EXPECT_EQ(lamps.size(), 4u) << table.caption;
        }
    }
}

// A PC key as the panel matches it: Qt's key and the modifiers that count, both Enter keys one.
std::pair<int, int> keyboardKey(const char* text) {
    const QKeyCombination key = QKeySequence(QString::fromLatin1(text), QKeySequence::PortableText)[0];
    const int code = key.key() == Qt::Key_Return ? int(Qt::Key_Enter) : int(key.key());
    return {code, (key.keyboardModifiers() & ~Qt::ShiftModifier).toInt()};
}

std::vector<std::string> pcKeys(const PanelPart& part) {
    std::vector<std::string> keys;
    for (const char* key : part.pcKeys)
        if (key) keys.emplace_back(key);
    return keys;
}

TEST(PanelKeyMap, NoPcKeyWorksTwoButtonsOfOnePanel) {
    for (PanelLayout layout : creationOrder) {
        std::map<std::pair<int, int>, std::string> owners;
        for (const auto& part : panelLayout(layout).parts) {
            for (const std::string& text : pcKeys(part)) {
                const QKeySequence sequence(QString::fromStdString(text), QKeySequence::PortableText);
                ASSERT_EQ(sequence.count(), 1) << part.name << " " << text;
                EXPECT_NE(sequence[0].key(), Qt::Key_unknown) << part.name << " " << text;
                EXPECT_EQ(sequence.toString(QKeySequence::PortableText).toStdString(), text) << "as Qt spells it";
                const auto [owner, fresh] = owners.emplace(keyboardKey(text.c_str()), part.name);
                EXPECT_TRUE(fresh) << panelLayout(layout).caption << ": " << text << " works " << owner->second
                                   << " and " << part.name;
            }
        }
    }
}

TEST(PanelKeyMap, KeysFollowTheOperatorsRules) {
    // What every panel that has the button binds it to.
    const std::map<std::string, std::vector<std::string>> everywhere = {
        {"enter_b", {"Enter"}},    {"play_b", {"Space"}},     {"menu_b", {"Esc", "Backspace"}},
        {"rec_b", {"R"}},          {"up_b", {"Up", "P"}},     {"pause_b", {"Up", "P"}},
        {"down_b", {"Down", "S"}}, {"stop_b", {"Down", "S"}}, {"left_b", {"Left"}},
        {"rew_b", {"Left"}},       {"right_b", {"Right"}},    {"ff_b", {"Right"}},
        {"plus_b", {"+"}},         {"minus_b", {"-"}},        {"options_b", {"Ctrl+P"}},
        {"opt_b", {"Ctrl+P"}},     {"min_b", {"Ctrl+H"}},     {"close_b", {"Alt+F4"}},
        {"power_b", {}},
    };
    for (PanelLayout layout : creationOrder) {
        const auto& table = panelLayout(layout);
        const bool hasPlus = std::any_of(table.parts.begin(), table.parts.end(),
                                         [](const PanelPart& p) { return std::string(p.name) == "plus_b"; });
        for (const auto& part : table.parts) {
            const std::string name = part.name;
            const auto keys = pcKeys(part);
            if (name.starts_with("ch")) {
                const int channel = std::stoi(name.substr(name.find_first_of("0123456789")));
                const std::string expected =
                    channel <= 10 ? std::to_string(channel % 10) : "F" + std::to_string(channel - 10);
                EXPECT_EQ(keys, std::vector<std::string>{expected}) << table.caption << " " << name;
            } else if (name == "zoom_b") {
                EXPECT_EQ(keys.front(), "Z");
                EXPECT_EQ(std::count(keys.begin(), keys.end(), "+"), hasPlus ? 0 : 1) << "+ zooms where it is free";
            } else if (everywhere.count(name)) {
                EXPECT_EQ(keys, everywhere.at(name)) << table.caption << " " << name;
            } else if (part.isButton()) {
                EXPECT_EQ(keys.size(), 1u) << table.caption << " " << name << " has a key of its own";
            } else {
                EXPECT_TRUE(keys.empty()) << name << ": lamps take no keys";
            }
        }
    }
}

TEST(PanelKeyMap, KeysReadAsPeopleSayThem) {
    const auto& table = panelLayout(PanelLayout::Brw777);
    auto named = [&](std::string_view name) {
        for (const auto& part : table.parts)
            if (part.name == name) return pcKeyText(part);
        return std::string("?");
    };
    EXPECT_EQ(named("menu_b"), "Esc or Backspace");
    EXPECT_EQ(named("ch16_b"), "F6");
    EXPECT_EQ(named("power_b"), "");
    EXPECT_EQ(named("lt_ok"), "");
}

} // namespace
