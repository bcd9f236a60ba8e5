#pragma once

#include <optional>
#include <string>

// Where the program keeps its settings on this desktop; each platform says where that is. Paths are
// UTF-8.
namespace ConfigFolder {

// The user's settings folder: on Linux $XDG_CONFIG_HOME/lumevanta, or ~/.config/lumevanta where the
// variable is unset or not absolute.
std::string path();

// The options file in use: the working folder's when there is one of the user's own (a portable
// folder, and the files users already have), else the one in the settings folder. Always an
// absolute path.
std::string optionsFile();

// A working folder's options file that is not used because another user owns it, or a link to it.
struct ForeignFile {
    std::string path;
    std::string owner;
};
std::optional<ForeignFile> foreignOptionsFile();

// Makes the folder that file goes in, if it is not there, for the user alone.
bool makeFolderFor(const std::string& file);

} // namespace ConfigFolder
