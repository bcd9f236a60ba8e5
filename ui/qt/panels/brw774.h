#pragma once

#include "panels/PanelForm.h"

// The 774 front panel; everything it shows and does comes from its layout table.
class Tbrw774_frm : public PanelForm {
public:
    explicit Tbrw774_frm(PanelHost& host);
};
