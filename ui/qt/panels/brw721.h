#pragma once

#include "panels/PanelForm.h"

// The 721 front panel; everything it shows and does comes from its layout table.
class Tbrw721_frm : public PanelForm {
public:
    explicit Tbrw721_frm(PanelHost& host);
};
