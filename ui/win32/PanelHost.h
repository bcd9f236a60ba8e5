#pragma once

#include <windows.h>

#include <cstdint>

// What a panel asks of the rest of the program.
class PanelHost {
public:
    virtual ~PanelHost() = default;
    virtual void SendKey(std::uint8_t key) = 0;
    // The options button: an ordinary opening of the preferences, then the panel is disabled.
    virtual void optionsRequested() = 0;
    virtual void HideToTray() = 0;
    virtual void ExitProgram() = 0;
    // The panel's menu, at a point of the screen.
    virtual void showMenu(POINT at) = 0;
    // The panel was minimised or restored, by the program or by the task bar.
    virtual void panelStateChanged() = 0;
};
