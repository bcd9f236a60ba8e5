#pragma once

#include "app/NotifyIcon.h"

#include <QMenu>
#include <QSystemTrayIcon>

// The notification area through Qt: StatusNotifierItem or XEmbed, whichever the desktop offers.
// Qt opens the menu on the right button by itself and docks the icon again when the tray restarts.
class SystemTrayHost : public TrayHost {
public:
    SystemTrayHost();

    bool add(const IconData& data) override;
    bool modify(const IconData& data) override;
    bool remove() override;
    void setMenu(QMenu* menu) override { icon_.setContextMenu(menu); }
    void openMenu(QMenu*, const QPoint&) override {}

private:
    void activated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon icon_;
};
