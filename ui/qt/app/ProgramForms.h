#pragma once

#include "app/basic_unit.h"
#include "panels/PanelForm.h"
#include "settings/pref_unit.h"

#include <array>
#include <memory>

// Every form of the program, created once in the program's order and living until it ends. The
// program makes one set; each test may make its own.
class ProgramForms {
public:
    // Without a tray host, the desktop's notification area.
    explicit ProgramForms(DeviceOpener opener = TSerialLink::defaultOpener(), std::unique_ptr<TrayHost> trayHost = {});

    PanelForm& panel(PanelLayout layout) const { return *panels_[static_cast<std::size_t>(layout)]; }

    // Destroyed in the reverse of their declaration: the dialog, the panels, the main form last.
    std::unique_ptr<Tbasic> basic;

private:
    std::array<std::unique_ptr<PanelForm>, creationOrder.size()> panels_;

public:
    std::unique_ptr<Tpref_frm> pref_frm;
};
