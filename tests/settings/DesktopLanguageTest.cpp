#include "settings/DesktopLanguage.h"

#include <gtest/gtest.h>

namespace {

TEST(DesktopLanguage, RussianForARussianLocaleEnglishOtherwise) {
    struct Row {
        const char* why;
        const char *lcAll, *lcMessages, *lang;
        int language;
    } rows[] = {
        {"a Russian LANG", "", "", "ru_RU.UTF-8", 0},
        {"Russian of another country and code page", "", "", "ru_UA.KOI8-U", 0},
        {"the bare language", "", "", "ru", 0},
        {"an English LANG", "", "", "en_US.UTF-8", 1},
        {"another language is English too", "", "", "de_DE.UTF-8", 1},
        {"the C locale", "", "", "C.UTF-8", 1},
        {"nothing set", "", "", "", 1},
        {"LC_ALL before the others", "ru_RU.UTF-8", "en_US.UTF-8", "en_US.UTF-8", 0},
        {"LC_ALL before the others, the other way", "en_US.UTF-8", "ru_RU.UTF-8", "ru_RU.UTF-8", 1},
        {"LC_MESSAGES before LANG", "", "en_US.UTF-8", "ru_RU.UTF-8", 1},
        {"LC_MESSAGES before LANG, the other way", "", "ru_RU.UTF-8", "en_US.UTF-8", 0},
        {"the case counts, as it does for locales", "", "", "RU_ru", 1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(DesktopLanguage::fromLocale(row.lcAll, row.lcMessages, row.lang), row.language) << row.why;
}

} // namespace
