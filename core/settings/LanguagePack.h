#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The interface texts of one language, one per numbered line of a Windows-1251 text file beside the
// program. A line's text runs up to its first ';'; each '#' stands for a line break.
namespace LanguagePack {

// The last line the program uses (its last message); ProgramTexts checks it.
inline constexpr int LastLine = 81;

QString decodeWindows1251(std::string_view bytes);
QString DecodePackText(std::string_view line);

// The pack's file name for a language, or nothing for a language without one.
std::optional<QString> fileName(std::uint8_t language);

// The folder of the running program, with its trailing separator.
QString ProgramFolder();

// Where the packs are: beside the program (a portable folder, the build tree), else in an installed
// prefix's share/lumevanta/ next to its bin/; beside the program when neither holds a pack.
QString packFolder(const QString& programFolder = ProgramFolder());

// The first LastLine lines of a pack, decoded; nothing when it is missing or no regular file. Only
// the head of a huge pack is read.
std::optional<std::vector<QString>> read(const QString& path);

// Qt shows a line break as LF alone.
QString forDisplay(QString text);

} // namespace LanguagePack
