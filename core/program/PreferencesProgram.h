#pragma once

#include "link/PortDiscovery.h"
#include "model/LoadResult.h"
#include "model/Settings.h"

#include <vector>

// What the preferences dialog of either program asks of the rest of it, and what its OK and Cancel
// do with that.
class PreferencesProgram {
public:
    virtual ~PreferencesProgram() = default;
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
    // The ports found on this machine just now.
    virtual std::vector<DiscoveredPort> discoveredPorts() const { return {}; }

    // OK, once the dialog's own checks have passed: saved, read back, the port opened and the panel
    // shown unless it is in the tray. False when the save was refused and the dialog stays open.
    bool confirmPreferences();
    // Cancel or close: the program ends while no device type has been chosen; otherwise the panel
    // takes input again. True when the dialog is to close.
    bool cancelPreferences();
};
