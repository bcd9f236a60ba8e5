#include "link/PortName.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

constexpr std::string_view DevicePrefix = "\\\\.\\";

bool isShortComName(const std::string& name) {
    if (name.size() != 4 || name[3] < '1' || name[3] > '9') return false;
    std::string prefix = name.substr(0, 3);
    std::transform(prefix.begin(), prefix.end(), prefix.begin(), [](unsigned char c) { return std::toupper(c); });
    return prefix == "COM";
}

} // namespace

// COM1 to COM9 are names Windows knows everywhere; every other name is looked up among the devices
// only (COM10 is \\.\COM10), so a name can never open a file in the working folder.
std::optional<std::string> devicePathForPort(const std::string& portName) {
    if (!canNameADevice(portName)) return std::nullopt;
    if (isShortComName(portName) || portName.starts_with(DevicePrefix)) return portName;
    return std::string(DevicePrefix) + portName;
}
