#include "app/SystemTrayHost.h"

SystemTrayHost::SystemTrayHost() {
    QObject::connect(&icon_, &QSystemTrayIcon::activated,
                     [this](QSystemTrayIcon::ActivationReason reason) { activated(reason); });
    watch_.setInterval(1000);
    QObject::connect(&watch_, &QTimer::timeout, [this] { checkStillThere(); });
}

bool SystemTrayHost::add(const IconData& data) {
    icon_.setIcon(data.icon);
    icon_.setToolTip(data.tip);
    icon_.show();
    watch_.start();
    return available();
}

bool SystemTrayHost::modify(const IconData& data) {
    icon_.setIcon(data.icon);
    icon_.setToolTip(data.tip);
    return icon_.isVisible();
}

bool SystemTrayHost::remove() {
    const bool wasShown = icon_.isVisible();
    watch_.stop();
    icon_.hide();
    return wasShown;
}

void SystemTrayHost::checkStillThere() {
    if (available()) return;
    watch_.stop();
    icon_.hide();
    if (vanished) vanished();
}

void SystemTrayHost::activated(QSystemTrayIcon::ActivationReason reason) {
    if (!callback) return;
    // Qt reports whole clicks; the icon's state machine wants the button going down and up.
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        callback(TNotifyIcon::LeftDown);
        callback(TNotifyIcon::LeftUp);
        break;
    case QSystemTrayIcon::DoubleClick:
        callback(TNotifyIcon::LeftDoubleClick);
        break;
    case QSystemTrayIcon::Context:
        callback(TNotifyIcon::RightDown);
        callback(TNotifyIcon::RightUp);
        break;
    case QSystemTrayIcon::MiddleClick:
        callback(TNotifyIcon::MiddleDown);
        callback(TNotifyIcon::MiddleUp);
        break;
    case QSystemTrayIcon::Unknown:
        break;
    }
}
