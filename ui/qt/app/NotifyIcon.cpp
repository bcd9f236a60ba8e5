#include "app/NotifyIcon.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QStyleHints>

TNotifyIcon::TNotifyIcon(std::unique_ptr<TrayHost> host, QObject* owner)
    : QObject(owner), host_(std::move(host)), cycleTimer_(0, [this] { cycle(); }) {
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

int TNotifyIcon::doubleClickInterval() const {
    return QApplication::styleHints()->mouseDoubleClickInterval();
}

Qt::MouseButton TNotifyIcon::qtButton(TrayClicks::Button button) {
    static constexpr Qt::MouseButton buttons[] = {Qt::NoButton, Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
    return buttons[static_cast<int>(button)];
}

// A double click also does what the menu's default entry does, unless the left button opens the menu.
void TNotifyIcon::doubleClick() {
    fire(OnDblClick);
    if (popupMenu_ && !leftPopup_)
        if (QAction* action = popupMenu_->defaultAction()) action->trigger();
}

void TNotifyIcon::trayHostRestarted() {
    if (iconVisible_) AddTrayIcon();
}
