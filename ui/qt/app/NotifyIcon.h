#pragma once

#include "app/IconTimer.h"
#include "program/TrayClicks.h"

#include <QIcon>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QMenu;

// What the icon shows in the notification area.
struct IconData {
    QIcon icon;
    QString tip;
};

// The desktop's notification area, as the tray icon needs it. The host feeds the icon's mouse
// activity back as callback codes (0x0201 left button down, 0x0202 left up, 0x0204 right down, ...).
class TrayHost {
public:
    virtual ~TrayHost() = default;
    virtual bool add(const IconData& data) = 0;
    virtual bool modify(const IconData& data) = 0;
    virtual bool remove() = 0;
    virtual void setMenu(QMenu* menu) = 0;
    // Opens the menu at the cursor unless the desktop opens it by itself.
    virtual void openMenu(QMenu* menu, const QPoint& at) = 0;

    // Whether the desktop has a notification area to show an icon in at all.
    virtual bool available() const { return true; }

    std::function<void(int code)> callback;
    // The desktop's tray came back after a restart and knows no icons any more.
    std::function<void()> restarted;
    // The desktop's tray went away, and an icon shown there with it.
    std::function<void()> vanished;
};

// The notification-area icon: its tip, its visibility, and the mouse on it turned into events.
class TNotifyIcon : public QObject, private TrayClicks::Icon {
public:
    using NotifyEvent = std::function<void(TNotifyIcon&)>;
    using MouseEvent = std::function<void(TNotifyIcon&, Qt::MouseButton, const QPoint&)>;

    // Callback codes of the notification area.
    using enum TrayClicks::Code;
    static constexpr int MaxTipLength = 127;

    TNotifyIcon(std::unique_ptr<TrayHost> host, QObject* owner = nullptr);
    ~TNotifyIcon() override;

    bool Enabled() const override { return enabled_; }
    void setEnabled(bool on) { enabled_ = on; }
    const QString& Hint() const { return hint_; }
    void setHint(const QString& hint);
    bool ShowHint() const { return showHint_; }
    void setShowHint(bool show);
    const QIcon& Icon() const { return icon_; }
    void setIcon(const QIcon& icon);
    bool IconVisible() const { return iconVisible_; }
    void setIconVisible(bool visible);
    const QList<QIcon>& IconList() const { return iconList_; }
    void setIconList(const QList<QIcon>& icons);
    int IconIndex() const { return iconIndex_; }
    void setIconIndex(int index);
    bool CycleIcons() const { return cycleIcons_; }
    void setCycleIcons(bool on);
    unsigned CycleInterval() const { return cycleInterval_; }
    void setCycleInterval(unsigned ms);
    QMenu* PopupMenu() const { return popupMenu_; }
    void setPopupMenu(QMenu* menu);
    bool LeftPopup() const override { return leftPopup_; }
    void setLeftPopup(bool on) { leftPopup_ = on; }
    bool taskbarButtonVisible() const { return taskbarButtonVisible_; }
    // Without a notification area an icon shown there could never be clicked.
    bool hostAvailable() const { return host_->available(); }

    NotifyEvent OnClick, OnDblClick, OnCycle;
    MouseEvent OnMouseDown, OnMouseUp, OnMouseMove;
    NotifyEvent OnBalloonHintShow, OnBalloonHintHide, OnBalloonHintTimeout, OnBalloonHintClick;
    NotifyEvent OnHostGone;

    void HideTaskbarButton();
    void ShowTaskbarButton();

    // What the notification area sends about this icon.
    void dispatch(int code) { clicks_.dispatch(code); }
    void trayHostRestarted();

    IconData PrepareIconData() const;

private:
    void AddTrayIcon();
    void RemoveTrayIcon();
    void UpdateTrayIcon();
    // What the mouse on the icon comes to.
    bool handlesDoubleClick() const override { return static_cast<bool>(OnDblClick); }
    int doubleClickInterval() const override;
    void mouseDown(TrayClicks::Button button) override { fire(OnMouseDown, qtButton(button)); }
    void mouseUp(TrayClicks::Button button) override { fire(OnMouseUp, qtButton(button)); }
    void mouseMove() override { fire(OnMouseMove, Qt::NoButton); }
    void click() override { fire(OnClick); }
    void doubleClick() override;
    void balloonShown() override { fire(OnBalloonHintShow); }
    void balloonHidden() override { fire(OnBalloonHintHide); }
    void balloonTimedOut() override { fire(OnBalloonHintTimeout); }
    void balloonClicked() override { fire(OnBalloonHintClick); }
    void OpenTrayMenu() override;
    static Qt::MouseButton qtButton(TrayClicks::Button button);
    void cycle();
    void fire(const NotifyEvent& event) {
        if (event) event(*this);
    }
    void fire(const MouseEvent& event, Qt::MouseButton button);

    std::unique_ptr<TrayHost> host_;
    bool enabled_ = true;
    QString hint_;
    bool showHint_ = true;
    QIcon icon_;
    bool iconVisible_ = false;
    QList<QIcon> iconList_;
    int iconIndex_ = 0;
    bool cycleIcons_ = false;
    unsigned cycleInterval_ = 0;
    QPointer<QMenu> popupMenu_;
    bool leftPopup_ = false;
    bool taskbarButtonVisible_ = true;

    TrayClicks clicks_{*this};
    TIconTimer cycleTimer_;
};
