#include "app/IconTimer.h"

TIconTimer::TIconTimer(int intervalMs, std::function<void()> callback)
    : interval_(intervalMs), callback_(std::move(callback)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
}

bool TIconTimer::start() {
    timer_.stop();
    if (interval_ <= 0) return false;
    timer_.start(interval_);
    return true;
}

void TIconTimer::setInterval(int intervalMs) {
    if (intervalMs == interval_) return;
    interval_ = intervalMs;
    if (!timer_.isActive()) return;
    if (interval_ <= 0)
        stop();
    else
        start();
}

void TIconTimer::setCallback(std::function<void()> callback) {
    callback_ = std::move(callback);
    if (!callback_) stop();
}

void TIconTimer::tick() {
    if (autoDisable_) stop();
    if (callback_) callback_();
}
