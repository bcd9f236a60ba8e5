#include "recorder/FrameReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct ReaderCase {
    std::string name;
    Bytes input;
    std::vector<Frame> frames;
    std::size_t skipped;
};

const std::vector<ReaderCase> Cases = {
    {"clean frame", {0xFF, 0xC0, 0x03, 0x31, 0x7F}, {{0x03, 0x31}}, 0},
    {"frames back to back",
     {0xFF, 0xC0, 0x01, 0x10, 0x7F, 0xFF, 0xC0, 0x02, 0x20, 0x7F},
     {{0x01, 0x10}, {0x02, 0x20}},
     0},
    {"garbage before", {0x00, 0x58, 0xC0, 0x7F, 0xFF, 0xC0, 0x03, 0x31, 0x7F}, {{0x03, 0x31}}, 4},
    {"garbage between",
     {0xFF, 0xC0, 0x01, 0x10, 0x7F, 0x12, 0x34, 0xFF, 0xC0, 0x02, 0x20, 0x7F},
     {{0x01, 0x10}, {0x02, 0x20}},
     2},
    {"doubled start byte", {0xFF, 0xFF, 0xC0, 0x03, 0x31, 0x7F}, {{0x03, 0x31}}, 1},
    {"broken end byte then good frame",
     {0xFF, 0xC0, 0x03, 0x31, 0x00, 0xFF, 0xC0, 0x04, 0x32, 0x7F},
     {{0x04, 0x32}},
     5},
    {"start inside a broken frame", {0xFF, 0xC0, 0xFF, 0xC0, 0x03, 0x31, 0x7F}, {{0x03, 0x31}}, 2},
    {"end byte lost, start in key position", {0xFF, 0xC0, 0x03, 0xFF, 0xC0, 0x05, 0x06, 0x7F}, {{0x05, 0x06}}, 3},
    {"id and key are the start bytes", {0xFF, 0xC0, 0xFF, 0xC0, 0x7F}, {{0xFF, 0xC0}}, 0},
    {"id and key are end and start", {0xFF, 0xC0, 0x7F, 0xFF, 0x7F}, {{0x7F, 0xFF}}, 0},
    {"id and key are second start and end", {0xFF, 0xC0, 0xC0, 0x7F, 0x7F}, {{0xC0, 0x7F}}, 0},
    {"unfinished frame is held back", {0x11, 0xFF, 0xC0, 0x03}, {}, 1},
};

FrameReader::Output feedInPieces(const Bytes& input, std::size_t pieceSize) {
    FrameReader reader;
    FrameReader::Output total;
    for (std::size_t at = 0; at < input.size(); at += pieceSize) {
        const std::size_t length = std::min(pieceSize, input.size() - at);
        FrameReader::Output out = reader.feed(std::span(input).subspan(at, length));
        total.frames.insert(total.frames.end(), out.frames.begin(), out.frames.end());
        total.skippedBytes += out.skippedBytes;
    }
    return total;
}

// However the bytes are split, the reader must see the same frames.
TEST(FrameReader, FindsFramesWhateverTheSplit) {
    for (const ReaderCase& c : Cases) {
        for (std::size_t pieceSize = 1; pieceSize <= c.input.size(); ++pieceSize) {
            SCOPED_TRACE(c.name + ", pieces of " + std::to_string(pieceSize));
            const FrameReader::Output out = feedInPieces(c.input, pieceSize);
            EXPECT_EQ(out.frames, c.frames);
            EXPECT_EQ(out.skippedBytes, c.skipped);
        }
    }
}

} // namespace
