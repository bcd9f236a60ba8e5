#include "panels/brw721.h"

Tbrw721_frm::Tbrw721_frm(PanelHost& host) : PanelForm(panelLayout(PanelLayout::Brw721), host) {}
