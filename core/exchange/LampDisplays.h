#pragma once

#include "model/Lamps.h"

#include <span>

struct LampStep {
    Lamp lamp;
    bool lit;
};

// The lamps a display sets, in the order it sets them; lamps it does not name keep their picture.
std::span<const LampStep> lampSteps(LampDisplay display);

// What a panel offers the exchange: the lamps it paints.
class LampPanel {
public:
    virtual ~LampPanel() = default;
    virtual void showLampDisplay(LampDisplay display) = 0;
};
