#include "panels/HeldKeys.h"

#include <utility>
#include <vector>

HeldKeys::HeldKeys(PartHandler pressed, PartHandler released)
    : pressed_(std::move(pressed)), released_(std::move(released)) {}

bool HeldKeys::press(int key, std::uint64_t timestamp, bool autoRepeat, std::optional<std::size_t> part) {
    if (const auto it = held_.find(key); it != held_.end()) {
        Hold& hold = it->second;
        if (autoRepeat || !hold.releasedAt || *hold.releasedAt == timestamp) {
            hold.releasedAt.reset();
            return true;
        }
        complete(key); // released a while ago: this is the next press
    } else if (!part) {
        return false;
    }
    if (autoRepeat || !part) return true;
    held_[key] = {*part, std::nullopt};
    pressed_(*part);
    return true;
}

bool HeldKeys::release(int key, std::uint64_t timestamp, bool autoRepeat) {
    const auto it = held_.find(key);
    if (it == held_.end()) return false;
    if (!autoRepeat) it->second.releasedAt = timestamp;
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
    const std::size_t part = it->second.part;
    held_.erase(it);
    released_(part);
}

void HeldKeys::letGo(const PartHandler& shownReleased) {
    const auto held = std::move(held_);
    held_.clear();
    for (const auto& [key, hold] : held)
        shownReleased(hold.part);
}
