#pragma once

#include "panels/PanelParts.h"

#include <cstdint>

// What a panel asks of the rest of the program.
class PanelHost : public WindowActions {
public:
    virtual void SendKey(std::uint8_t key) = 0;
};
