#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

struct xcb_connection_t;

// A client of an X server that sees, from outside, when a top-level window of a given size first has
// something drawn in it (the Damage extension), and presses the mouse on the screen (XTEST).
class ScreenWatch {
public:
    using Clock = std::chrono::steady_clock;

    struct Shown {
        std::uint32_t window;
        Clock::time_point at;
        int left, top; // on the screen
    };

    explicit ScreenWatch(const std::string& display);
    ScreenWatch(const ScreenWatch&) = delete;
    ScreenWatch& operator=(const ScreenWatch&) = delete;
    ~ScreenWatch();

    // Forgets the windows seen so far: the next program's windows are watched from their creation.
    void reset() { windows_.clear(); }
    // The first drawing into a mapped top-level window of width x height, or nothing by the deadline.
    std::optional<Shown> waitShown(int width, int height, Clock::time_point deadline);
    void press(int x, int y);
    void release();

private:
    struct Window {
        int width = 0, height = 0;
        bool mapped = false;
    };
    // The window that the event shows drawn into with the size asked for, if any.
    std::optional<std::uint32_t> handle(const void* event, int width, int height);
    void watch(std::uint32_t window, int width, int height);
    std::pair<int, int> placeOf(std::uint32_t window);
    void fakeInput(std::uint8_t type, std::uint8_t detail, int x, int y);

    xcb_connection_t* connection_;
    std::uint32_t root_ = 0;
    std::uint8_t damageEvent_ = 0;
    std::map<std::uint32_t, Window> windows_;
};
