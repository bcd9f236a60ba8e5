#include "panels/PanelFactory.h"

#include "panels/brw721.h"
#include "panels/brw773.h"
#include "panels/brw774.h"
#include "panels/brw776.h"
#include "panels/brw777.h"

std::unique_ptr<PanelForm> createPanelForm(PanelLayout layout, PanelHost& host) {
    switch (layout) {
    case PanelLayout::Brw721:
        return std::make_unique<Tbrw721_frm>(host);
    case PanelLayout::Brw773:
        return std::make_unique<Tbrw773_frm>(host);
    case PanelLayout::Brw774:
        return std::make_unique<Tbrw774_frm>(host);
    case PanelLayout::Brw776:
        return std::make_unique<Tbrw776_frm>(host);
    case PanelLayout::Brw777:
        return std::make_unique<Tbrw777_frm>(host);
    }
    return nullptr;
}
