#pragma once

#include "panels/PanelParts.h"

#include "base/CoreText.h"
#include "settings/ProgramTexts.h"

#include <QPoint>

#include <cstdint>

// What a panel asks of the rest of the program.
class PanelHost : public WindowActions {
public:
    virtual void SendKey(std::uint8_t key) = 0;
    virtual void showMenu(const QPoint& globalPosition) = 0;
    // One of the program's own messages in the interface language, ready to be shown.
    virtual QString text(TextId id) const { return shownText(ProgramTexts::defaultText(id)); }
};
