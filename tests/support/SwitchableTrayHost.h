#pragma once

#include "app/NotifyIcon.h"

#include <utility>

// A notification area a test can take away: present or not, and going away while an icon is shown.
class SwitchableTrayHost : public TrayHost {
public:
    bool add(const IconData&) override { return present && !std::exchange(shown, true); }
    bool modify(const IconData&) override { return shown; }
    bool remove() override { return std::exchange(shown, false); }
    void setMenu(QMenu*) override {}
    void openMenu(QMenu*, const QPoint&) override {}
    bool available() const override { return present; }

    void goAway() {
        present = false;
        shown = false;
        if (vanished) vanished();
    }

    bool present = true;
    bool shown = false;
};
