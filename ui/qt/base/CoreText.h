#pragma once

#include "settings/LanguagePack.h"

#include <QString>

#include <string>
#include <string_view>

// The core's texts are UTF-8; Qt's are QString. These are the one crossing between the two.
inline QString qtText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A pack's text as a widget shows it, its line breaks as LF alone.
inline QString shownText(std::string text) {
    return qtText(LanguagePack::forDisplay(std::move(text)));
}

inline std::string coreText(const QString& text) {
    return text.toStdString();
}
