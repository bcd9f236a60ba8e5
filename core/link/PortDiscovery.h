#pragma once

#include <string>
#include <vector>

// A serial port this machine has, as the preferences dialog offers it.
struct DiscoveredPort {
    std::string path; // what to store as the port name
    std::string hint; // what the system says the port is; may be empty

    bool operator==(const DiscoveredPort&) const = default;
};

// The serial ports this machine has, sorted by path (numbers in order), no duplicates. On POSIX those
// under devRoot, with what sysRoot says about them: every link in serial/by-id/ (the names that
// survive re-plugging), the USB, ACM, AMBA and Bluetooth serial devices, and the ttyS ports that have
// a UART behind them. On Windows the COM ports of the system's device map, with the device manager's
// names for them; the folders are not used there.
std::vector<DiscoveredPort> discoverPorts(const std::string& devRoot = "/dev", const std::string& sysRoot = "/sys");
