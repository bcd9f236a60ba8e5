#include "link/PortName.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    const char* why;
    const char* name;
    const char* path;
};

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
};

TEST(PortName, MapsConfiguredNamesToDevices) {
    for (const auto& row : rows)
        EXPECT_EQ(devicePathForPort(row.name), row.path) << row.why;
}

} // namespace
