#include "panels/HeldKeys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One keyboard event: 'p' press, 'r' release, 'c' the release wait over, 'g' the window let go.
struct Event {
    char what;
    int key = 0;
    std::uint64_t time = 0;
    bool repeat = false;
};

std::string play(const std::vector<Event>& events) {
    std::string log;
    HeldKeys keys([&](std::size_t part) { log += "down" + std::to_string(part) + " "; },
                  [&](std::size_t part) { log += "up" + std::to_string(part) + " "; });
    // Key 1 works part 7, key 2 part 8; key 9 is none of the panel's.
    const auto partOf = [](int key) -> std::optional<std::size_t> {
        if (key == 9) return std::nullopt;
        return key + 6;
    };
    for (const Event& e : events) {
        if (e.what == 'p' && !keys.press(e.key, e.time, e.repeat, partOf(e.key))) log += "ignored ";
        if (e.what == 'r' && !keys.release(e.key, e.time, e.repeat)) log += "ignored ";
        if (e.what == 'c') keys.completeReleases();
        if (e.what == 'g') keys.letGo([&](std::size_t part) { log += "shown-up" + std::to_string(part) + " "; });
    }
    return log;
}

TEST(HeldKeys, OnePressPerPhysicalPressWhateverTheKeyboardRepeats) {
    const struct {
        const char* what;
        std::vector<Event> events;
        const char* log;
    } cases[] = {
        {"a press and its release", {{'p', 1, 10}, {'r', 1, 20}, {'c'}}, "down7 up7 "},
        {"repeats marked as such",
         {{'p', 1, 10}, {'p', 1, 20, true}, {'r', 1, 20, true}, {'p', 1, 30, true}, {'r', 1, 40}, {'c'}},
         "down7 up7 "},
        {"X11's repeat: release and press at one time",
         {{'p', 1, 10}, {'r', 1, 20}, {'p', 1, 20}, {'r', 1, 40}, {'c'}},
         "down7 up7 "},
        {"a next press before the wait is over",
         {{'p', 1, 10}, {'r', 1, 20}, {'p', 1, 25}, {'r', 1, 40}, {'c'}},
         "down7 up7 down7 up7 "},
        {"a release waits for the wait", {{'p', 1, 10}, {'r', 1, 20}}, "down7 "},
        {"two keys held at once",
         {{'p', 1, 10}, {'p', 2, 11}, {'r', 1, 20}, {'c'}, {'r', 2, 30}, {'c'}},
         "down7 down8 up7 up8 "},
        {"keys of others", {{'p', 9, 10}, {'r', 9, 20}, {'r', 1, 20}}, "ignored ignored ignored "},
        {"a repeat of a key never pressed here", {{'p', 1, 10, true}, {'r', 1, 20}}, "ignored "},
        {"let go: up without acting, and its release is not the panel's",
         {{'p', 1, 10}, {'g'}, {'r', 1, 20}, {'c'}},
         "down7 shown-up7 ignored "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(play(c.events), c.log) << c.what;
}

} // namespace
