#include "app/SystemTrayHost.h"

SystemTrayHost::SystemTrayHost() {
    watch_.setInterval(1000);
    QObject::connect(&watch_, &QTimer::timeout, [this] { checkStillThere(); });
}

QSystemTrayIcon& SystemTrayHost::icon() {
    if (!icon_) {
        icon_ = std::make_unique<QSystemTrayIcon>();
        QObject::connect(icon_.get(), &QSystemTrayIcon::activated,
                         [this](QSystemTrayIcon::ActivationReason reason) { activated(reason); });
        icon_->setContextMenu(menu_);
    }
    return *icon_;
}

void SystemTrayHost::setMenu(QMenu* menu) {
    menu_ = menu;
    if (icon_) icon_->setContextMenu(menu);
}

bool SystemTrayHost::add(const IconData& data) {
    icon().setIcon(data.icon);
    icon_->setToolTip(data.tip);
    icon_->show();
    watch_.start();
    return available();
}

bool SystemTrayHost::modify(const IconData& data) {
    if (!icon_) return false;
    icon_->setIcon(data.icon);
    icon_->setToolTip(data.tip);
    return icon_->isVisible();
}

bool SystemTrayHost::remove() {
    const bool wasShown = icon_ && icon_->isVisible();
    watch_.stop();
    if (icon_) icon_->hide();
    return wasShown;
}

void SystemTrayHost::checkStillThere() {
    if (available()) return;
    watch_.stop();
    if (icon_) icon_->hide();
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
