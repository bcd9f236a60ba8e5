#include "settings/DesktopLanguage.h"

#include "settings/ConfigFolder.h"
#include "settings/OptionsFile.h"

#include <QFile>

namespace DesktopLanguage {

namespace {
constexpr std::uint8_t Russian = 0;
constexpr std::uint8_t English = 1;
} // namespace

std::uint8_t fromLocale(const QString& lcAll, const QString& lcMessages, const QString& lang) {
    for (const QString* name : {&lcAll, &lcMessages, &lang})
        if (!name->isEmpty()) return name->startsWith(QLatin1String("ru")) ? Russian : English;
    return English;
}

std::uint8_t fromEnvironment() {
    return fromLocale(qEnvironmentVariable("LC_ALL"), qEnvironmentVariable("LC_MESSAGES"),
                      qEnvironmentVariable("LANG"));
}

std::uint8_t startLanguage() {
    const auto options = OptionsFile::read(QFile::encodeName(ConfigFolder::optionsFile()).toStdString());
    return options ? OptionsFile::parse(*options).language : fromEnvironment();
}

} // namespace DesktopLanguage
