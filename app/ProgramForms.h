#pragma once

#include "app/basic_unit.h"
#include "panels/brw721.h"
#include "panels/brw773.h"
#include "panels/brw774.h"
#include "panels/brw776.h"
#include "panels/brw777.h"
#include "settings/pref_unit.h"

#include <memory>

// Every form of the program, created once in the program's order and living until it ends. The
// program makes one set; each test may make its own.
class ProgramForms {
public:
    // Without a tray host, the desktop's notification area.
    explicit ProgramForms(DeviceOpener opener = TSerialLink::defaultOpener(), std::unique_ptr<TrayHost> trayHost = {});

    PanelForm& panel(PanelLayout layout) const;

    // Declared in creation order, so they are destroyed in the reverse.
    std::unique_ptr<Tbasic> basic;
    std::unique_ptr<Tbrw774_frm> brw774_frm;
    std::unique_ptr<Tbrw773_frm> brw773_frm;
    std::unique_ptr<Tbrw721_frm> brw721_frm;
    std::unique_ptr<Tpref_frm> pref_frm;
    std::unique_ptr<Tbrw777_frm> brw777_frm;
    std::unique_ptr<Tbrw776_frm> brw776_frm;
};
