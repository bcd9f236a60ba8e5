#include "panels/brw777.h"

Tbrw777_frm::Tbrw777_frm(PanelHost& host) : PanelForm(panelLayout(PanelLayout::Brw777), host) {}
