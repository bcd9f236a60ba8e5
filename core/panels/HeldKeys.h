#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

// The panel's keys held down, turning the keyboard's presses and releases into presses and releases
// of the parts they work: one press per physical press, whatever the keyboard repeats meanwhile, and
// a key's release to the part its press went to. Some platforms (X11 without detectable auto-repeat)
// report a repeat as a plain release and press with the same time stamp, and the press may come a
// little after the release: there a release waits a moment (ReleaseWaitMs, on the front end's timer)
// for such a press before it counts.
class HeldKeys {
public:
    using PartHandler = std::function<void(std::size_t part)>;

    // A repeat's press comes with its release; this is ample for it to be handled too, and too short to see.
    static constexpr int ReleaseWaitMs = 30;

    HeldKeys(PartHandler pressed, PartHandler released);

    // A press of a key not held yet presses the part it works (none: the key is not the panel's);
    // a press of a held key is the keyboard repeating. False when the key is none of the panel's.
    bool press(int key, std::uint64_t timestamp, bool autoRepeat, std::optional<std::size_t> part);
    // False when the key holds no part. A release that is no repeat waits for completeReleases().
    bool release(int key, std::uint64_t timestamp, bool autoRepeat);
    // The releases waited for count now: their parts come up and act.
    void completeReleases();
    // The parts come up without acting: their releases will not come.
    void letGo(const PartHandler& shownReleased);

private:
    struct Hold {
        std::size_t part;
        std::optional<std::uint64_t> releasedAt;
    };

    void complete(int key);

    PartHandler pressed_;
    PartHandler released_;
    std::map<int, Hold> held_;
};
