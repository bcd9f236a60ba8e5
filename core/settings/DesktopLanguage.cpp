#include "settings/DesktopLanguage.h"

#include "settings/ConfigFolder.h"
#include "settings/OptionsFile.h"

#include <cstdlib>

namespace DesktopLanguage {

namespace {
constexpr std::uint8_t Russian = 0;
constexpr std::uint8_t English = 1;
} // namespace

std::uint8_t fromLocale(std::string_view lcAll, std::string_view lcMessages, std::string_view lang) {
    for (const std::string_view name : {lcAll, lcMessages, lang})
        if (!name.empty()) return name.starts_with("ru") ? Russian : English;
    return English;
}

std::uint8_t fromEnvironment() {
    const auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string_view(value ? value : "");
    };
    return fromLocale(variable("LC_ALL"), variable("LC_MESSAGES"), variable("LANG"));
}

std::uint8_t startLanguage() {
    const auto options = OptionsFile::read(ConfigFolder::optionsFile());
    return options ? OptionsFile::parse(*options).language : fromEnvironment();
}

} // namespace DesktopLanguage
