#pragma once

#include "panels/PanelForm.h"

// The 773 front panel; everything it shows and does comes from its layout table.
class Tbrw773_frm : public PanelForm {
public:
    explicit Tbrw773_frm(PanelHost& host);
};
