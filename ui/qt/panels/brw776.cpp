#include "panels/brw776.h"

Tbrw776_frm::Tbrw776_frm(PanelHost& host) : PanelForm(panelLayout(PanelLayout::Brw776), host) {}
