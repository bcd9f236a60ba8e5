#pragma once

#include "exchange/KeyFrame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct Frame {
    std::uint8_t id = 0;
    std::uint8_t key = 0;

    friend bool operator==(const Frame&, const Frame&) = default;
};

// Picks key frames out of a byte stream that may hold noise or torn frames.
// A partial frame is kept between feeds, so a frame may arrive in any number of pieces.
class FrameReader {
public:
    struct Output {
        std::vector<Frame> frames;
        std::size_t skippedBytes = 0; // bytes proven not to belong to any frame
    };

    Output feed(std::span<const std::uint8_t> bytes);

private:
    void take(std::uint8_t byte, Output& out);
    bool pendingCouldBeFrame() const;
    void dropFirstPending();

    std::array<std::uint8_t, KeyFrame::Size> pending_{};
    std::size_t pendingSize_ = 0;
};
