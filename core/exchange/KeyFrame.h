#pragma once

#include <array>
#include <cstdint>

// The five bytes that carry one key press to the recorder, and its one-byte answers.
namespace KeyFrame {

inline constexpr std::uint8_t StartByte1 = 0xFF;
inline constexpr std::uint8_t StartByte2 = 0xC0;
inline constexpr std::uint8_t EndByte = 0x7F;
inline constexpr std::size_t Size = 5;

inline constexpr std::uint8_t ReplyOk = 'X';
inline constexpr std::uint8_t ReplyBusy = 'Y';

using Bytes = std::array<std::uint8_t, Size>;

// No checksum and no escaping: id and key may take any value, the frame markers included.
constexpr Bytes make(std::uint8_t id, std::uint8_t key) {
    return {StartByte1, StartByte2, id, key, EndByte};
}

} // namespace KeyFrame
