#pragma once

#include "panels/PanelParts.h"

#include <windows.h>

#include <cstdint>

// What a panel asks of the rest of the program.
class PanelHost : public WindowActions {
public:
    virtual void SendKey(std::uint8_t key) = 0;
    // The panel's menu, at a point of the screen.
    virtual void showMenu(POINT at) = 0;
    // The panel was minimised or restored, by the program or by the task bar.
    virtual void panelStateChanged() = 0;
};
