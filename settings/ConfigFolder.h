#pragma once

#include <QString>

// Where the program keeps its settings on this desktop.
namespace ConfigFolder {

// $XDG_CONFIG_HOME/lumevanta, or ~/.config/lumevanta where the variable is unset or not absolute.
QString path();

// The options file in use: the working folder's when there is one (a portable folder, and the
// files users already have), else the one in the settings folder. Always an absolute path.
QString optionsFile();

} // namespace ConfigFolder
