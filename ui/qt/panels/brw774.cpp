#include "panels/brw774.h"

Tbrw774_frm::Tbrw774_frm(PanelHost& host) : PanelForm(panelLayout(PanelLayout::Brw774), host) {}
