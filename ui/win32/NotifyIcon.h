#pragma once

#include "PopupMenu.h"

#include "program/TrayClicks.h"

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>

class TNotifyIconHandler;

// The notification-area icon: its tip, its visibility, and the mouse on it turned into events. The
// notification area reports to one hidden window shared by every icon of the process.
class TNotifyIcon : private TrayClicks::Icon {
public:
    using NotifyEvent = std::function<void(TNotifyIcon&)>;
    using MouseEvent = std::function<void(TNotifyIcon&, int button, POINT at)>;

    // The notification area's callback message and codes.
    static constexpr UINT CallbackMessage = 0x0800;
    using enum TrayClicks::Code;
    static constexpr std::size_t MaxTipLength = 127;

    TNotifyIcon();
    ~TNotifyIcon() override;
    TNotifyIcon(const TNotifyIcon&) = delete;
    TNotifyIcon& operator=(const TNotifyIcon&) = delete;

    bool Enabled() const override { return enabled_; }
    void setEnabled(bool on) { enabled_ = on; }
    const std::string& Hint() const { return hint_; }
    void setHint(const std::string& hint);
    bool ShowHint() const { return showHint_; }
    void setShowHint(bool show);
    // The icon is the caller's and must outlive its use here.
    HICON Icon() const { return icon_; }
    void setIcon(HICON icon);
    bool IconVisible() const { return iconVisible_; }
    void setIconVisible(bool visible);
    ::PopupMenu* PopupMenu() const { return popupMenu_; }
    void setPopupMenu(::PopupMenu* menu) { popupMenu_ = menu; }
    bool LeftPopup() const override { return leftPopup_; }
    void setLeftPopup(bool on) { leftPopup_ = on; }
    // Whether the notification area took the icon when it was last shown: without one it could never
    // be clicked.
    bool shownInTray() const { return shown_; }

    // The panels carry their own task bar buttons; these say whether the program's entry is wanted.
    void HideTaskbarButton() { taskbarButtonVisible_ = false; }
    void ShowTaskbarButton() { taskbarButtonVisible_ = true; }
    bool taskbarButtonVisible() const { return taskbarButtonVisible_; }

    NotifyEvent OnClick, OnDblClick;
    MouseEvent OnMouseDown, OnMouseUp, OnMouseMove;
    NotifyEvent OnBalloonHintShow, OnBalloonHintHide, OnBalloonHintTimeout, OnBalloonHintClick;

    // What the notification area says about this icon, and that it was made anew (the shell restarted).
    void dispatch(UINT code) { clicks_.dispatch(static_cast<int>(code)); }
    void taskbarCreated();

private:
    NOTIFYICONDATAW PrepareIconData() const;
    void AddTrayIcon();
    void RemoveTrayIcon();
    void UpdateTrayIcon();
    void fire(const NotifyEvent& event) {
        if (event) event(*this);
    }
    void fire(const MouseEvent& event, TrayClicks::Button button);

    // What the mouse on the icon comes to.
    bool handlesDoubleClick() const override { return static_cast<bool>(OnDblClick); }
    int doubleClickInterval() const override { return static_cast<int>(GetDoubleClickTime()); }
    void mouseDown(TrayClicks::Button button) override { fire(OnMouseDown, button); }
    void mouseUp(TrayClicks::Button button) override { fire(OnMouseUp, button); }
    void mouseMove() override { fire(OnMouseMove, TrayClicks::Button::None); }
    void click() override { fire(OnClick); }
    void doubleClick() override { fire(OnDblClick); }
    void balloonShown() override { fire(OnBalloonHintShow); }
    void balloonHidden() override { fire(OnBalloonHintHide); }
    void balloonTimedOut() override { fire(OnBalloonHintTimeout); }
    void balloonClicked() override { fire(OnBalloonHintClick); }
    void OpenTrayMenu() override;

    std::shared_ptr<TNotifyIconHandler> handler_;
    UINT identity_;
    bool enabled_ = true;
    std::string hint_;
    bool showHint_ = true;
    HICON icon_ = nullptr;
    bool iconVisible_ = false;
    bool shown_ = false;
    ::PopupMenu* popupMenu_ = nullptr;
    bool leftPopup_ = false;
    bool taskbarButtonVisible_ = true;
    TrayClicks clicks_{*this};
};
