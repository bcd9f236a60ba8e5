#pragma once

#include "panels/PanelForm.h"

// The 776 front panel; everything it shows and does comes from its layout table.
class Tbrw776_frm : public PanelForm {
public:
    explicit Tbrw776_frm(PanelHost& host);
};
