#pragma once

#include "app/basic_unit.h"
#include "panels/PanelForm.h"
#include "settings/pref_unit.h"

#include <array>
#include <memory>

// Every form of the program, each made once and living until it ends: the main form and the panels
// at once, in the program's order, the preferences dialog when it is first wanted. The program makes
// one set; each test may make its own.
class ProgramForms {
public:
    // Without a tray host, the desktop's notification area.
    explicit ProgramForms(DeviceOpener opener = TSerialLink::defaultOpener(), std::unique_ptr<TrayHost> trayHost = {});
    ProgramForms(const ProgramForms&) = delete;
    ProgramForms& operator=(const ProgramForms&) = delete;

    PanelForm& panel(PanelLayout layout) const { return *panels_[static_cast<std::size_t>(layout)]; }
    // The preferences dialog, made now if it has not been wanted before.
    Tpref_frm& preferences() { return *basic->preferences(); }

    // Destroyed in the reverse of their declaration: the dialog, the panels, the main form last.
    std::unique_ptr<Tbasic> basic;

private:
    std::array<std::unique_ptr<PanelForm>, creationOrder.size()> panels_;
    std::unique_ptr<Tpref_frm> pref_frm_;
};
