#include "program/TrayClicks.h"

TrayClicks::TrayClicks(Icon& icon) : icon_(icon) {
    clickTimer_.setSingleShot(true);
}

void TrayClicks::dispatch(int code) {
    switch (code) {
    case BalloonShow:
        return icon_.balloonShown();
    case BalloonHide:
        return icon_.balloonHidden();
    case BalloonTimeout:
        return icon_.balloonTimedOut();
    case BalloonClick:
        return icon_.balloonClicked();
    default:
        break;
    }
    if (!icon_.Enabled()) return;
    switch (code) {
    case MouseMove:
        icon_.mouseMove();
        break;
    case LeftDown:
        if (icon_.handlesDoubleClick()) {
            clickTimer_.setInterval(icon_.doubleClickInterval());
            clickTimer_.start();
        }
        icon_.mouseDown(Button::Left);
        wentDown_ = true;
        if (icon_.LeftPopup()) icon_.OpenTrayMenu();
        break;
    case LeftUp:
        if (wentDown_) clickReady_ = true;
        if (clickReady_ && !clickTimer_.isActive()) {
            wentDown_ = clickReady_ = false;
            icon_.click();
        }
        wentDown_ = false;
        icon_.mouseUp(Button::Left);
        break;
    case LeftDoubleClick:
        clickReady_ = false;
        doubleClickSeen_ = true;
        icon_.doubleClick();
        break;
    case RightDown:
        icon_.mouseDown(Button::Right);
        icon_.OpenTrayMenu();
        break;
    case RightUp:
        icon_.mouseUp(Button::Right);
        break;
    case MiddleDown:
        icon_.mouseDown(Button::Middle);
        break;
    case MiddleUp:
        icon_.mouseUp(Button::Middle);
        break;
    default:
        break;
    }
}

// The wait for a second click is over: a click that had none is a click after all.
void TrayClicks::clickTimerExpired() {
    clickTimer_.stop();
    if (!doubleClickSeen_ && clickReady_) {
        clickReady_ = false;
        icon_.click();
    }
    doubleClickSeen_ = false;
}
