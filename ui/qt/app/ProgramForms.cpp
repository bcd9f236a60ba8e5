#include "app/ProgramForms.h"

#include "panels/PanelFactory.h"

ProgramForms::ProgramForms(DeviceOpener opener, std::unique_ptr<TrayHost> trayHost)
    : basic(std::make_unique<Tbasic>(std::move(opener), std::move(trayHost))) {
    for (PanelLayout layout : creationOrder) {
        panels_[static_cast<std::size_t>(layout)] = createPanelForm(layout, *basic);
        basic->registerPanel(layout, &panel(layout));
        // The dialog's place in the program's order of creation: after the third panel.
        if (layout == PanelLayout::Brw721) pref_frm = std::make_unique<Tpref_frm>(*basic);
    }
    basic->registerPreferences(pref_frm.get());
}
