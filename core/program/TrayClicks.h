#pragma once

#include "base/Timer.h"

#include <functional>

// How the notification area's callback codes become the tray icon's events, for both programs: a
// left click waits, while the icon handles double-clicks, to see whether a second click follows.
class TrayClicks {
public:
    // Callback codes of the notification area.
    enum Code : int {
        MouseMove = 0x0200,
        LeftDown = 0x0201,
        LeftUp = 0x0202,
        LeftDoubleClick = 0x0203,
        RightDown = 0x0204,
        RightUp = 0x0205,
        MiddleDown = 0x0207,
        MiddleUp = 0x0208,
        ContextMenu = 0x007B,
        Select = 0x0400,
        KeySelect = 0x0401,
        BalloonShow = 0x0402,
        BalloonHide = 0x0403,
        BalloonTimeout = 0x0404,
        BalloonClick = 0x0405,
    };
    enum class Button { None, Left, Right, Middle };

    // What the icon does with them, in its platform's terms.
    class Icon {
    public:
        virtual ~Icon() = default;
        virtual bool Enabled() const = 0;
        virtual bool handlesDoubleClick() const = 0;
        virtual bool LeftPopup() const = 0;
        // The system's double-click time, in milliseconds.
        virtual int doubleClickInterval() const = 0;
        virtual void mouseDown(Button button) = 0;
        virtual void mouseUp(Button button) = 0;
        virtual void mouseMove() = 0;
        virtual void click() = 0;
        virtual void doubleClick() = 0;
        virtual void balloonShown() = 0;
        virtual void balloonHidden() = 0;
        virtual void balloonTimedOut() = 0;
        virtual void balloonClicked() = 0;
        virtual void OpenTrayMenu() = 0;
    };

    explicit TrayClicks(Icon& icon);

    void dispatch(int code);

private:
    void clickTimerExpired();

    Icon& icon_;
    bool wentDown_ = false;
    bool clickReady_ = false;
    bool doubleClickSeen_ = false;
    Timer clickTimer_{[this] { clickTimerExpired(); }};
};
