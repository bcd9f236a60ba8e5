#pragma once

#include <cstdint>
#include <string>

// The user's settings, kept by the main form for the whole run. The port name and speed are not
// here: they live in the serial port itself.
struct Settings {
    // "start" means no recorder model has been chosen yet.
    static constexpr const char* NoDeviceType = "start";

    std::string DeviceType = NoDeviceType;
    bool ShowHints = false;
    bool AlwaysOnTop = false;
    std::uint8_t IdByte = 0;
    std::uint8_t Language = 0; // 0 Russian, 1 English
};
