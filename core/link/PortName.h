#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>

// The longest port name a line is opened under; a longer one is refused rather than cut, since the
// cut name could be some other line.
inline constexpr std::size_t MaxPortNameLength = 255;

// Whether a name could be a port's at all: not empty, not overlong, no control characters.
inline bool canNameADevice(const std::string& name) {
    if (name.empty() || name.size() > MaxPortNameLength) return false;
    return std::none_of(name.begin(), name.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

// Where a configured port name lives: "COM1" is the first serial port (/dev/ttyS0), a name that
// begins with "/" is a device path, and any other name is looked up under /dev/ ("ttyUSB0").
// Nothing for a name no device can have (empty, overlong, with control characters): such a port
// simply does not exist.
std::optional<std::string> devicePathForPort(const std::string& portName);
