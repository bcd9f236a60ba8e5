#pragma once

#include <cstdint>
#include <string_view>

// The interface language a desktop asks for, where the user has not chosen one yet.
namespace DesktopLanguage {

// The first of LC_ALL, LC_MESSAGES and LANG that is set decides, as for any program's messages:
// Russian (0) for a Russian locale, English (1) for everything else.
std::uint8_t fromLocale(std::string_view lcAll, std::string_view lcMessages, std::string_view lang);

// The same, from this process's environment.
std::uint8_t fromEnvironment();

// The language the program starts in: the one stored in the options file, else the desktop's.
std::uint8_t startLanguage();

} // namespace DesktopLanguage
