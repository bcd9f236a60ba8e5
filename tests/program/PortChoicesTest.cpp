#include "program/Preferences.h"

#include <gtest/gtest.h>

namespace {

std::vector<DiscoveredPort> comPorts(std::vector<DiscoveredPort> after, const std::string& hintOfCom3 = {}) {
    std::vector<DiscoveredPort> ports;
    for (int n = 1; n <= 9; ++n)
        ports.push_back({"COM" + std::to_string(n), n == 3 ? hintOfCom3 : std::string()});
    ports.insert(ports.end(), after.begin(), after.end());
    return ports;
}

TEST(PortChoices, TheNineComNamesComeFirstAndEachPortOnce) {
    const struct {
        const char* why;
        std::vector<DiscoveredPort> found;
        std::vector<DiscoveredPort> offered;
    } rows[] = {
        {"nothing found", {}, comPorts({})},
        {"POSIX paths follow in their order",
         {{"/dev/ttyUSB0", "FT232R"}, {"/dev/ttyS0", ""}},
         comPorts({{"/dev/ttyUSB0", "FT232R"}, {"/dev/ttyS0", ""}})},
        {"a COM port found among the nine gives it its name, in any case, and is not listed again",
         {{"com3", "USB Serial Port (COM3)"}, {"COM10", "Bluetooth link"}},
         comPorts({{"COM10", "Bluetooth link"}}, "USB Serial Port (COM3)")},
        {"a port found twice is listed once, with the first hint",
         {{"COM12", "first"}, {"COM12", "second"}},
         comPorts({{"COM12", "first"}})},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Preferences::portChoices(row.found), row.offered) << row.why;
}

} // namespace
