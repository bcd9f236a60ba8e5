#include "panels/HeldKeys.h"

#include <vector>

namespace {

// A repeat's press comes with its release; this is ample for it to be handled too, and too short to see.
constexpr int RepeatPressWaitMs = 30;

} // namespace

HeldKeys::HeldKeys(ButtonHandler pressed, ButtonHandler released, QObject* parent)
    : QObject(parent), pressed_(std::move(pressed)), released_(std::move(released)), releaseWait_(this) {
    releaseWait_.setSingleShot(true);
    releaseWait_.setInterval(RepeatPressWaitMs);
    connect(&releaseWait_, &QTimer::timeout, this, &HeldKeys::completeReleases);
}

bool HeldKeys::press(int key, quint64 timestamp, bool autoRepeat, PanelImage* button) {
    if (const auto it = held_.find(key); it != held_.end()) {
        Hold& hold = it->second;
        if (autoRepeat || !hold.releasedAt || *hold.releasedAt == timestamp) {
            hold.releasedAt.reset();
            return true;
        }
        complete(key); // released a while ago: this is the next press
    } else if (!button) {
        return false;
    }
    if (autoRepeat || !button) return true;
    held_[key] = {button, std::nullopt};
    pressed_(*button);
    return true;
}

bool HeldKeys::release(int key, quint64 timestamp, bool autoRepeat) {
    const auto it = held_.find(key);
    if (it == held_.end()) return false;
    if (!autoRepeat) {
        it->second.releasedAt = timestamp;
        releaseWait_.start();
    }
    return true;
}

void HeldKeys::completeReleases() {
    std::vector<int> released;
    for (const auto& [key, hold] : held_)
        if (hold.releasedAt) released.push_back(key);
    for (int key : released)
        complete(key);
}

void HeldKeys::complete(int key) {
    const auto it = held_.find(key);
    if (it == held_.end()) return;
    PanelImage& button = *it->second.button;
    held_.erase(it);
    released_(button);
}

void HeldKeys::letGo(const ButtonHandler& shownReleased) {
    releaseWait_.stop();
    const auto held = std::move(held_);
    held_.clear();
    for (const auto& [key, hold] : held)
        shownReleased(*hold.button);
}
