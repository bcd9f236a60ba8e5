#include "panels/brw773.h"

Tbrw773_frm::Tbrw773_frm(PanelHost& host) : PanelForm(panelLayout(PanelLayout::Brw773), host) {}
