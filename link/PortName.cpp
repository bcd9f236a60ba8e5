#include "link/PortName.h"

#include <algorithm>
#include <cctype>

namespace {

bool isComName(const std::string& name) {
    if (name.size() < 4) return false;
    auto prefix = name.substr(0, 3);
    std::transform(prefix.begin(), prefix.end(), prefix.begin(), [](unsigned char c) { return std::toupper(c); });
    if (prefix != "COM") return false;
    return std::all_of(name.begin() + 3, name.end(), [](unsigned char c) { return std::isdigit(c); });
}

} // namespace

std::string devicePathForPort(const std::string& portName) {
    if (!portName.empty() && portName.front() == '/') return portName;
    if (isComName(portName)) {
        // Windows counts its ports from 1, the kernel from 0; "COM0" has no device.
        const unsigned long number = std::stoul(portName.substr(3));
        if (number >= 1 && portName.size() <= 12) return "/dev/ttyS" + std::to_string(number - 1);
    }
    return "/dev/" + portName;
}
