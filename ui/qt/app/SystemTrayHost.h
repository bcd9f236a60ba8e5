#pragma once

#include "app/NotifyIcon.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

// The notification area through Qt: StatusNotifierItem or XEmbed, whichever the desktop offers.
// Qt opens the menu on the right button by itself and docks the icon again when the tray restarts.
// Qt does not say when the tray goes away, so while the icon is shown the host looks every second.
class SystemTrayHost : public TrayHost {
public:
    SystemTrayHost();

    bool add(const IconData& data) override;
    bool modify(const IconData& data) override;
    bool remove() override;
    void setMenu(QMenu* menu) override { icon_.setContextMenu(menu); }
    void openMenu(QMenu*, const QPoint&) override {}
    bool available() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }

private:
    void activated(QSystemTrayIcon::ActivationReason reason);
    void checkStillThere();

    QSystemTrayIcon icon_;
    QTimer watch_;
};
