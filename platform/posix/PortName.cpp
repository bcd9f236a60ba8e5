#include "link/PortName.h"

#include <algorithm>
#include <cctype>

namespace {

// Beyond any number of serial ports a system has, and short enough to convert without overflow.
constexpr std::size_t MaxComDigits = 6;

bool isComName(const std::string& name) {
    if (name.size() < 4) return false;
    auto prefix = name.substr(0, 3);
    std::transform(prefix.begin(), prefix.end(), prefix.begin(), [](unsigned char c) { return std::toupper(c); });
    if (prefix != "COM") return false;
    return std::all_of(name.begin() + 3, name.end(), [](unsigned char c) { return std::isdigit(c); });
}

} // namespace

std::optional<std::string> devicePathForPort(const std::string& portName) {
    if (!canNameADevice(portName)) return std::nullopt;
    if (portName.front() == '/') return portName;
    // The digits are counted before they are converted: "COM" and twenty digits is a name, not a crash.
    if (isComName(portName) && portName.size() - 3 <= MaxComDigits) {
        // Windows counts its ports from 1, the kernel from 0; "COM0" has no device.
        const unsigned long number = std::stoul(portName.substr(3));
        if (number >= 1) return "/dev/ttyS" + std::to_string(number - 1);
    }
    return "/dev/" + portName;
}
