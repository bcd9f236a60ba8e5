#pragma once

// Where the language packs keep the texts of the dialog and the menu. The program's messages have
// theirs in ProgramTexts, the panels' hints in the layout tables.
namespace PackLine {

inline constexpr int PreferencesCaption = 1;
inline constexpr int LanguageGroup = 2;
inline constexpr int DeviceTypeGroup = 3;
inline constexpr int ConnectionGroup = 4;
inline constexpr int IdGroup = 5;
inline constexpr int OtherSettingsGroup = 6;
inline constexpr int PortLabel = 7;
inline constexpr int SpeedLabel = 8;
inline constexpr int IdHelp = 9;
inline constexpr int HintsCheck = 10;
inline constexpr int AlwaysOnTopCheck = 11;
inline constexpr int OkButton = 12;
inline constexpr int CancelButton = 13;

// The popup menu's entries in their order: preferences, restore, hide to tray, exit.
inline constexpr int FirstMenuEntry = 18;
inline constexpr int MenuEntryCount = 4;

} // namespace PackLine
