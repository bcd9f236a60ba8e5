#include "app/ProgramForms.h"

#include "panels/PanelFactory.h"

ProgramForms::ProgramForms(DeviceOpener opener, std::unique_ptr<TrayHost> trayHost)
    : basic(std::make_unique<Tbasic>(std::move(opener), std::move(trayHost))) {
    for (PanelLayout layout : creationOrder) {
        panels_[static_cast<std::size_t>(layout)] = createPanelForm(layout, *basic);
        basic->registerPanel(layout, &panel(layout));
    }
    // Made when it is first wanted: the dialog's fonts and controls are the costliest part of start-up
    // and hold memory for as long as they live, and nothing of it shows before it is opened.
    basic->registerPreferences([this]() -> Tpref_frm& {
        pref_frm_ = std::make_unique<Tpref_frm>(*basic);
        return *pref_frm_;
    });
}
