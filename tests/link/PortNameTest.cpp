#include "link/PortName.h"
#include "link/NetworkPortName.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct Row {
    const char* why;
    std::string name;
    std::optional<std::string> path; // none: no device can have the name
};

const std::string longestName(MaxPortNameLength - 5, 'x');

const Row rows[] = {
    {"first Windows port is the kernel's first", "COM1", "/dev/ttyS0"},
    {"ports count on", "COM2", "/dev/ttyS1"},
    {"two-digit ports", "COM10", "/dev/ttyS9"},
    {"Windows names are case-blind", "com3", "/dev/ttyS2"},
    {"a device path is used as given", "/dev/serial/by-id/usb-adapter-if00-port0",
     "/dev/serial/by-id/usb-adapter-if00-port0"},
    {"a bare name is looked up under /dev", "ttyUSB0", "/dev/ttyUSB0"},
    {"COM0 is not a Windows port", "COM0", "/dev/COM0"},
    {"COM with letters after it is a plain name", "COMX", "/dev/COMX"},
    {"nothing after COM is a plain name", "COM", "/dev/COM"},
    {"a number too big for any machine is a plain name, not a crash", "COM" + std::string(40, '9'),
     "/dev/COM" + std::string(40, '9')},
    {"a sign makes it a plain name", "COM-1", "/dev/COM-1"},
    {"an empty name names nothing", "", std::nullopt},
    {"a control character names nothing", "tty\nUSB0", std::nullopt},
    {"a name within the limit is looked up", longestName, "/dev/" + longestName},
    {"a longer name is refused, never cut to another", std::string(MaxPortNameLength + 1, 'x'), std::nullopt},
};

TEST(PortName, MapsConfiguredNamesToDevices) {
    for (const auto& row : rows)
        EXPECT_EQ(devicePathForPort(row.name), row.path) << row.why;
}

TEST(PortName, ReadsNetworkAddresses) {
    using enum NetworkPort::Protocol;
    const struct {
        const char* why;
        std::string name;
        std::optional<NetworkPort> port; // none: refused as no address
    } networkRows[] = {
        {"telnet with the COM-port option", "rfc2217://dvr-hall.example:2001",
         NetworkPort{Rfc2217, "dvr-hall.example", 2001}},
        {"raw, the scheme in any case", "TCP://192.168.1.20:4001", NetworkPort{Raw, "192.168.1.20", 4001}},
        {"socket:// is tcp://, a trailing slash allowed", "socket://10.0.0.5:7000/",
         NetworkPort{Raw, "10.0.0.5", 7000}},
        {"a bracketed IPv6 address", "rfc2217://[::1]:2217", NetworkPort{Rfc2217, "::1", 2217}},
        {"no port", "rfc2217://host", std::nullopt},
        {"port 0", "tcp://host:0", std::nullopt},
        {"a port beyond 65535", "tcp://host:65536", std::nullopt},
        {"a port with a sign", "tcp://host:+80", std::nullopt},
        {"no host", "tcp://:4001", std::nullopt},
        {"an unbracketed IPv6 address", "tcp://::1:4001", std::nullopt},
        {"a host the resolver could read as an option", "tcp://-h:4001", std::nullopt},
        {"a host with a path or user in it", "tcp://user@host:4001", std::nullopt},
    };
    for (const auto& row : networkRows) {
        EXPECT_EQ(parseNetworkPort(row.name), row.port) << row.why;
        EXPECT_TRUE(isNetworkPortName(row.name)) << row.why << ": never looked for under /dev";
    }
    EXPECT_FALSE(isNetworkPortName("/dev/ttyUSB0"));
    EXPECT_FALSE(isNetworkPortName("tcp:host:1"));
}

} // namespace
