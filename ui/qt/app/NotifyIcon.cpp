#include "app/NotifyIcon.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QStyleHints>

TNotifyIcon::TNotifyIcon(std::unique_ptr<TrayHost> host, QObject* owner)
    : QObject(owner), host_(std::move(host)), clickTimer_(1000, [this] { clickTimerExpired(); }),
      cycleTimer_(0, [this] { cycle(); }) {
    host_->callback = [this](int code) { dispatch(code); };
    host_->restarted = [this] { trayHostRestarted(); };
    host_->vanished = [this] { fire(OnHostGone); };
    UpdateTrayIcon();
}

TNotifyIcon::~TNotifyIcon() {
    setIconVisible(false);
}

IconData TNotifyIcon::PrepareIconData() const {
    return {icon_, showHint_ && !hint_.isEmpty() ? hint_.left(MaxTipLength) : QString()};
}

void TNotifyIcon::AddTrayIcon() {
    iconVisible_ = true;
    host_->add(PrepareIconData());
}

void TNotifyIcon::RemoveTrayIcon() {
    iconVisible_ = false;
    host_->remove();
}

void TNotifyIcon::UpdateTrayIcon() {
    host_->modify(PrepareIconData());
}

void TNotifyIcon::setIconVisible(bool visible) {
    // Asking twice adds or removes twice; the second request simply finds nothing to do.
    if (visible)
        AddTrayIcon();
    else
        RemoveTrayIcon();
}

void TNotifyIcon::setHint(const QString& hint) {
    hint_ = hint;
    UpdateTrayIcon();
}

void TNotifyIcon::setShowHint(bool show) {
    showHint_ = show;
    UpdateTrayIcon();
}

void TNotifyIcon::setIcon(const QIcon& icon) {
    icon_ = icon;
    UpdateTrayIcon();
}

void TNotifyIcon::setIconList(const QList<QIcon>& icons) {
    iconList_ = icons;
    setIconIndex(0);
}

void TNotifyIcon::setIconIndex(int index) {
    if (iconList_.isEmpty()) {
        iconIndex_ = 0;
    } else {
        iconIndex_ = std::clamp(index, 0, static_cast<int>(iconList_.size()) - 1);
        icon_ = iconList_[iconIndex_];
    }
    UpdateTrayIcon();
}

void TNotifyIcon::setCycleIcons(bool on) {
    cycleIcons_ = on;
    if (on) {
        setIconIndex(0);
        cycleTimer_.setInterval(static_cast<int>(cycleInterval_));
        cycleTimer_.start();
    } else {
        cycleTimer_.stop();
    }
}

void TNotifyIcon::setCycleInterval(unsigned ms) {
    cycleInterval_ = ms;
    setCycleIcons(cycleIcons_);
}

void TNotifyIcon::cycle() {
    if (iconList_.isEmpty()) return;
    icon_ = iconList_[iconIndex_];
    UpdateTrayIcon();
    const int next = iconIndex_ < iconList_.size() - 1 ? iconIndex_ + 1 : 0;
    fire(OnCycle);
    iconIndex_ = next;
}

void TNotifyIcon::setPopupMenu(QMenu* menu) {
    popupMenu_ = menu;
    host_->setMenu(menu);
}

void TNotifyIcon::HideTaskbarButton() {
    taskbarButtonVisible_ = false;
}
void TNotifyIcon::ShowTaskbarButton() {
    taskbarButtonVisible_ = true;
}

void TNotifyIcon::fire(const MouseEvent& event, Qt::MouseButton button) {
    if (event) event(*this, button, QCursor::pos());
}

void TNotifyIcon::OpenTrayMenu() {
    if (popupMenu_) host_->openMenu(popupMenu_, QCursor::pos());
}

void TNotifyIcon::dispatch(int code) {
    switch (code) {
    case BalloonShow:
        return fire(OnBalloonHintShow);
    case BalloonHide:
        return fire(OnBalloonHintHide);
    case BalloonTimeout:
        return fire(OnBalloonHintTimeout);
    case BalloonClick:
        return fire(OnBalloonHintClick);
    default:
        break;
    }
    if (!enabled_) return;
    switch (code) {
    case MouseMove:
        fire(OnMouseMove, Qt::NoButton);
        break;
    case LeftDown:
        // With a double-click handler a click must wait to see whether a second one follows.
        if (OnDblClick) {
            clickTimer_.setInterval(QApplication::styleHints()->mouseDoubleClickInterval());
            clickTimer_.start();
        }
        fire(OnMouseDown, Qt::LeftButton);
        wentDown_ = true;
        if (leftPopup_) OpenTrayMenu();
        break;
    case LeftUp:
        if (wentDown_) clickReady_ = true;
        if (clickReady_ && !clickTimer_.enabled()) {
            wentDown_ = clickReady_ = false;
            fire(OnClick);
        }
        wentDown_ = false;
        fire(OnMouseUp, Qt::LeftButton);
        break;
    case LeftDoubleClick:
        clickReady_ = false;
        doubleClickSeen_ = true;
        fire(OnDblClick);
        if (popupMenu_ && !leftPopup_)
            if (QAction* action = popupMenu_->defaultAction()) action->trigger();
        break;
    case RightDown:
        fire(OnMouseDown, Qt::RightButton);
        OpenTrayMenu();
        break;
    case RightUp:
        fire(OnMouseUp, Qt::RightButton);
        break;
    case MiddleDown:
        fire(OnMouseDown, Qt::MiddleButton);
        break;
    case MiddleUp:
        fire(OnMouseUp, Qt::MiddleButton);
        break;
    default:
        break;
    }
}

void TNotifyIcon::clickTimerExpired() {
    clickTimer_.stop();
    if (!doubleClickSeen_ && clickReady_) {
        clickReady_ = false;
        fire(OnClick);
    }
    doubleClickSeen_ = false;
}

void TNotifyIcon::trayHostRestarted() {
    if (iconVisible_) AddTrayIcon();
}
