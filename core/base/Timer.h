#pragma once

#include "base/MainLoop.h"

#include <functional>
#include <memory>

// A timer of the main loop, as the forms' timers are: an interval, on or off, repeating unless
// single-shot. Starting a running timer counts its interval again from now.
class Timer {
public:
    explicit Timer(std::function<void()> tick, MainLoop& loop = mainLoop());

    void setInterval(int milliseconds) { interval_ = milliseconds; }
    int interval() const { return interval_; }
    void setSingleShot(bool singleShot) { singleShot_ = singleShot; }
    void start();
    void stop();
    bool isActive() const;

private:
    std::unique_ptr<MainLoop::TimerHandle> handle_;
    int interval_ = 0;
    bool singleShot_ = false;
};
