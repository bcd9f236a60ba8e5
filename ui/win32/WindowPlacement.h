#pragma once

#include "settings/StoredPlacement.h"

#include <windows.h>

#include <string>

// Where the windows' positions are kept: the settings folder, then the program file's name with
// ".INI" for its extension (lumevanta.INI), as on Linux.
std::wstring defaultPlacementFile();

// Remembers where a top-level form was between runs, in the form's own section of the placement file,
// through the private-profile calls. The form restores its placement when it is first shown (before
// it appears on the screen) and saves it when it is closed, or when it is destroyed while still open;
// also once a move by the user ends, so an end that runs no destructors loses no place.
class TWindowStorage {
public:
    // An empty filePath means defaultPlacementFile(); section is the form's class name.
    TWindowStorage(std::string section, bool keepsState, bool preventResize, std::wstring filePath = {});

    // Moves the window, not yet shown, to its stored corner; gives the stored show state.
    StoredPlacement::ShowState restore(HWND window);
    // Saves with "Visible=1" unless the placement was saved since it was last restored.
    void formDestroying(HWND window);
    void formClosing(HWND window);
    void moveEnded(HWND window);

    bool restored() const { return restored_; }
    const std::wstring& filePath() const { return filePath_; }

private:
    void save(HWND window, bool visible);
    void writePlacement(HWND window, bool visible);
    std::string read(const std::string& key) const;

    std::string section_;
    bool keepsState_;
    bool preventResize_;
    std::wstring filePath_;
    bool restored_ = false;
    bool saved_ = false;
    // The corner last read from or written to the file.
    POINT storedPlace_{};
};
