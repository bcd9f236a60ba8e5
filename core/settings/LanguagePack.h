#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The interface texts of one language, one per numbered line of a Windows-1251 text file beside the
// program. A line's text runs up to its first ';'; each '#' stands for a line break.
namespace LanguagePack {

// The last line the program uses (its last message); ProgramTexts checks it.
inline constexpr int LastLine = 95;

// Texts come out in UTF-8.
std::string decodeWindows1251(std::string_view bytes);
std::string DecodePackText(std::string_view line);

// The pack's file name for a language, or nothing for a language without one.
std::optional<std::string> fileName(std::uint8_t language);

// The folder of the running program, with its trailing separator (each platform says where it is).
std::string ProgramFolder();

// Where the packs are: beside the program (a portable folder, the build tree), else in an installed
// prefix's share/lumevanta/ next to its bin/; beside the program when neither holds a pack.
std::string packFolder(const std::string& programFolder = ProgramFolder());

// The first LastLine lines of a pack, decoded; nothing when it is missing or no regular file. Only
// the head of a huge pack is read.
std::optional<std::vector<std::string>> read(const std::string& path);

// For toolkits that break lines at LF alone; Windows' message boxes take the packs' CR LF as it is.
std::string forDisplay(std::string text);

} // namespace LanguagePack
