#pragma once

#include <cstdint>
#include <span>

// The four status lamps of a panel and the five pictures the exchange shows on them.
enum class Lamp { Busy, Work, Ok, NoLine };
enum class LampDisplay { LampsOff, ShowSending, ShowOk, ShowBusy, ShowNoLine };

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
