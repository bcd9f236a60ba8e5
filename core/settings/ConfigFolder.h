#pragma once

#include <QString>

#include <optional>

// Where the program keeps its settings on this desktop.
namespace ConfigFolder {

// $XDG_CONFIG_HOME/lumevanta, or ~/.config/lumevanta where the variable is unset or not absolute.
QString path();

// The options file in use: the working folder's when there is one of the user's own (a portable
// folder, and the files users already have), else the one in the settings folder. Always an
// absolute path.
QString optionsFile();

// A working folder's options file that is not used because another user owns it, or a link to it.
struct ForeignFile {
    QString path;
    QString owner;
};
std::optional<ForeignFile> foreignOptionsFile();

// Makes the folder that file goes in, if it is not there, for the user alone.
bool makeFolderFor(const QString& file);

} // namespace ConfigFolder
