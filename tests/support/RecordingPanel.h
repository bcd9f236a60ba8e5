#pragma once

#include "exchange/LampDisplays.h"

#include <vector>

// A stand-in panel that remembers every lamp display it was asked for.
class RecordingPanel : public LampPanel {
public:
    void showLampDisplay(LampDisplay display) override { displays.push_back(display); }
    LampDisplay last() const { return displays.empty() ? LampDisplay::LampsOff : displays.back(); }

    std::vector<LampDisplay> displays;
};
