#pragma once

#include "base/CoreText.h"
#include "program/PreferencesProgram.h"
#include "settings/ProgramTexts.h"

#include <QPoint>
#include <QString>

// What the preferences dialog asks of the rest of the program, with Qt's means.
class PreferencesHost : public PreferencesProgram {
public:
    virtual void showMenu(const QPoint& globalPosition) = 0;
    // One of the program's own messages in the interface language, ready to be shown.
    virtual QString text(TextId id) const { return shownText(ProgramTexts::defaultText(id)); }
};
