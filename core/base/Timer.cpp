#include "base/Timer.h"

Timer::Timer(std::function<void()> tick, MainLoop& loop) : handle_(loop.makeTimer(std::move(tick))) {}

void Timer::start() {
    handle_->start(std::chrono::milliseconds(interval_), singleShot_);
}

void Timer::stop() {
    handle_->stop();
}

bool Timer::isActive() const {
    return handle_->active();
}
