#include "app/ProgramForms.h"

ProgramForms::ProgramForms(DeviceOpener opener, std::unique_ptr<TrayHost> trayHost)
    : basic(std::make_unique<Tbasic>(std::move(opener), std::move(trayHost))),
      brw774_frm(std::make_unique<Tbrw774_frm>(*basic)), brw773_frm(std::make_unique<Tbrw773_frm>(*basic)),
      brw721_frm(std::make_unique<Tbrw721_frm>(*basic)), pref_frm(std::make_unique<Tpref_frm>(*basic)),
      brw777_frm(std::make_unique<Tbrw777_frm>(*basic)), brw776_frm(std::make_unique<Tbrw776_frm>(*basic)) {
    for (PanelLayout layout : creationOrder)
        basic->registerPanel(layout, &panel(layout));
    basic->registerPreferences(pref_frm.get());
}

PanelForm& ProgramForms::panel(PanelLayout layout) const {
    switch (layout) {
    case PanelLayout::Brw774:
        return *brw774_frm;
    case PanelLayout::Brw773:
        return *brw773_frm;
    case PanelLayout::Brw721:
        return *brw721_frm;
    case PanelLayout::Brw777:
        return *brw777_frm;
    case PanelLayout::Brw776:
        return *brw776_frm;
    }
    return *brw774_frm;
}
