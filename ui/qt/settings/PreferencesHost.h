#pragma once

#include "base/CoreText.h"
#include "link/PortDiscovery.h"
#include "model/LoadResult.h"
#include "model/Settings.h"
#include "settings/ProgramTexts.h"

#include <QPoint>
#include <QString>

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
    virtual void showMenu(const QPoint& globalPosition) = 0;
    // The ports found on this machine just now.
    virtual std::vector<DiscoveredPort> discoveredPorts() const { return {}; }
    // One of the program's own messages in the interface language, ready to be shown.
    virtual QString text(TextId id) const { return shownText(ProgramTexts::defaultText(id)); }
};
