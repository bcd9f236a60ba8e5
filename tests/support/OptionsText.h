#pragma once

#include "settings/OptionsFile.h"

#include <string>

// An options file as the program writes it, for a test's working folder.
inline std::string optionsText(const std::string& deviceType, const std::string& port, int id = 0, int language = 0) {
    return OptionsFile::format(
        {deviceType, false, false, port, 9600, static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(language)});
}
