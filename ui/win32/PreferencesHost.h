#pragma once

#include "link/PortDiscovery.h"
#include "model/LoadResult.h"
#include "model/Settings.h"
#include "settings/ProgramTexts.h"

#include <windows.h>

#include <string>
#include <vector>

// What the preferences dialog asks of the rest of the program.
class PreferencesHost {
public:
    virtual ~PreferencesHost() = default;
    virtual const Settings& currentSettings() const = 0;
    virtual LoadResult LoadOptions() = 0;
    // False when the dialog's values were refused and the dialog should stay open.
    virtual bool SaveOptions() = 0;
    virtual void OpenPort() = 0;
    virtual void EnablePanel() = 0;
    virtual void ShowPanel() = 0;
    virtual void SetPanelOnTop(bool on) = 0;
    virtual bool hiddenInTray() const = 0;
    virtual void ExitProgram() = 0;
    // The program's popup menu, at a point on the screen.
    virtual void showMenu(POINT) {}
    // The ports found on this machine just now.
    virtual std::vector<DiscoveredPort> discoveredPorts() const { return discoverPorts(); }
    // One of the program's own messages in the interface language (UTF-8).
    virtual std::string text(TextId id) const = 0;
};
