#pragma once

#include "app/NotifyIcon.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include <memory>

// The notification area through Qt: StatusNotifierItem or XEmbed, whichever the desktop offers.
// Qt opens the menu on the right button by itself and docks the icon again when the tray restarts.
// Qt does not say when the tray goes away, so while the icon is shown the host looks every second.
class SystemTrayHost : public TrayHost {
public:
    SystemTrayHost();

    bool add(const IconData& data) override;
    bool modify(const IconData& data) override;
    bool remove() override;
    void setMenu(QMenu* menu) override;
    void openMenu(QMenu*, const QPoint&) override {}
    bool available() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }

private:
    void activated(QSystemTrayIcon::ActivationReason reason);
    void checkStillThere();
    QSystemTrayIcon& icon();

    // Made when first shown: Qt asks the session bus about the desktop's tray as the icon is made,
    // which start-up need not wait for.
    std::unique_ptr<QSystemTrayIcon> icon_;
    QMenu* menu_ = nullptr;
    QTimer watch_;
};
