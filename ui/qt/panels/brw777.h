#pragma once

#include "panels/PanelForm.h"

// The 777 front panel; everything it shows and does comes from its layout table.
class Tbrw777_frm : public PanelForm {
public:
    explicit Tbrw777_frm(PanelHost& host);
};
