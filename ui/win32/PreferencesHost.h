#pragma once

#include "program/PreferencesProgram.h"
#include "settings/ProgramTexts.h"

#include <windows.h>

#include <string>
#include <vector>

// What the preferences dialog asks of the rest of the program, with Windows' means.
class PreferencesHost : public PreferencesProgram {
public:
    // The program's popup menu, at a point on the screen.
    virtual void showMenu(POINT) {}
    std::vector<DiscoveredPort> discoveredPorts() const override { return discoverPorts(); }
    // One of the program's own messages in the interface language (UTF-8).
    virtual std::string text(TextId id) const = 0;
};
