#include "FrameReader.h"

#include <algorithm>

FrameReader::Output FrameReader::feed(std::span<const std::uint8_t> bytes) {
    Output out;
    for (const std::uint8_t byte : bytes)
        take(byte, out);
    return out;
}

// Id and key are taken blind, so only the markers can rule a candidate out. When one does,
// the candidate's first byte is discarded and the rest is searched again: a later FF in it
// may be the true start.
void FrameReader::take(std::uint8_t byte, Output& out) {
    pending_[pendingSize_++] = byte;
    while (pendingSize_ > 0 && !pendingCouldBeFrame()) {
        dropFirstPending();
        ++out.skippedBytes;
    }
    if (pendingSize_ == KeyFrame::Size) {
        out.frames.push_back({pending_[2], pending_[3]});
        pendingSize_ = 0;
    }
}

bool FrameReader::pendingCouldBeFrame() const {
    if (pending_[0] != KeyFrame::StartByte1) return false;
    if (pendingSize_ >= 2 && pending_[1] != KeyFrame::StartByte2) return false;
    return pendingSize_ < KeyFrame::Size || pending_[KeyFrame::Size - 1] == KeyFrame::EndByte;
}

void FrameReader::dropFirstPending() {
    std::copy(pending_.begin() + 1, pending_.begin() + pendingSize_, pending_.begin());
    --pendingSize_;
}
