#pragma once

#include <QTimer>

#include <functional>

// The tray icon's small timers (icon cycling, the double-click delay): an interval, a callback and an
// optional stop after the first tick. An interval of 0 never runs.
class TIconTimer {
public:
    explicit TIconTimer(int intervalMs = 1000, std::function<void()> callback = {});

    bool start();
    void stop() { timer_.stop(); }
    bool enabled() const { return timer_.isActive(); }
    int interval() const { return interval_; }
    void setInterval(int intervalMs);
    void setCallback(std::function<void()> callback);
    void setAutoDisable(bool on) { autoDisable_ = on; }

private:
    void tick();

    QTimer timer_;
    int interval_;
    bool autoDisable_ = false;
    std::function<void()> callback_;
};
