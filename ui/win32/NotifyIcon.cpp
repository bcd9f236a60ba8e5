#include "NotifyIcon.h"

#include "WindowOwner.h"

#include "win32/WideText.h"

#include <map>

// The hidden window the notification area reports to, shared by every icon while one exists. It is
// a top-level window, not a message-only one: only top-level windows hear the shell's
// "TaskbarCreated" when it starts anew.
class TNotifyIconHandler {
public:
    TNotifyIconHandler();
    ~TNotifyIconHandler() { DestroyWindow(window_); }
    TNotifyIconHandler(const TNotifyIconHandler&) = delete;
    TNotifyIconHandler& operator=(const TNotifyIconHandler&) = delete;

    static std::shared_ptr<TNotifyIconHandler> shared();
    HWND window() const { return window_; }
    UINT add(TNotifyIcon& icon) {
        icons_[++lastIdentity_] = &icon;
        return lastIdentity_;
    }
    void remove(UINT identity) { icons_.erase(identity); }

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    UINT taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    std::map<UINT, TNotifyIcon*> icons_;
    UINT lastIdentity_ = 0;
};

TNotifyIconHandler::TNotifyIconHandler() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &TNotifyIconHandler::windowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TNotifyIconHandler";
    RegisterClassExW(&windowClass);
    window_ = CreateWindowExW(WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              windowClass.hInstance, this);
}

std::shared_ptr<TNotifyIconHandler> TNotifyIconHandler::shared() {
    static std::weak_ptr<TNotifyIconHandler> current;
    std::shared_ptr<TNotifyIconHandler> handler = current.lock();
    if (!handler) {
        handler = std::make_shared<TNotifyIconHandler>();
        current = handler;
    }
    return handler;
}

LRESULT CALLBACK TNotifyIconHandler::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TNotifyIconHandler* handler = windowOwner<TNotifyIconHandler>(window, message, lParam);
    if (!handler) return DefWindowProcW(window, message, wParam, lParam);
    handler->window_ = window; // already while CreateWindowExW runs
    return handler->handle(message, wParam, lParam);
}

LRESULT TNotifyIconHandler::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == TNotifyIcon::CallbackMessage) {
        const auto icon = icons_.find(static_cast<UINT>(wParam));
        if (icon != icons_.end()) icon->second->dispatch(LOWORD(lParam));
        return 0;
    }
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        // Copied: an icon's handler may add or remove icons.
        const auto icons = icons_;
        for (const auto& [identity, icon] : icons)
            icon->taskbarCreated();
        return 0;
    }
    switch (message) {
    // The window lives as long as its icons, whoever asks it to close or the session to end.
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
    case WM_QUIT:
    case WM_ENDSESSION:
        return 1;
    default:
        return DefWindowProcW(window_, message, wParam, lParam);
    }
}

TNotifyIcon::TNotifyIcon() : handler_(TNotifyIconHandler::shared()), identity_(handler_->add(*this)) {
    UpdateTrayIcon();
}

TNotifyIcon::~TNotifyIcon() {
    setIconVisible(false);
    handler_->remove(identity_);
}

NOTIFYICONDATAW TNotifyIcon::PrepareIconData() const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = handler_->window();
    data.uID = identity_;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = CallbackMessage;
    data.hIcon = icon_;
    if (showHint_ && !hint_.empty()) {
        // At most 127 characters, and never half of a pair that makes one character.
        std::wstring tip = widened(hint_).substr(0, MaxTipLength);
        if (!tip.empty() && IS_HIGH_SURROGATE(tip.back())) tip.pop_back();
        tip.copy(data.szTip, tip.size());
    }
    return data;
}

void TNotifyIcon::AddTrayIcon() {
    iconVisible_ = true;
    NOTIFYICONDATAW data = PrepareIconData();
    shown_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    // Behaviour 0: the mouse codes come as they are, in the callback's low word.
    data.uVersion = 0;
    if (shown_) Shell_NotifyIconW(NIM_SETVERSION, &data);
}

void TNotifyIcon::RemoveTrayIcon() {
    iconVisible_ = false;
    shown_ = false;
    NOTIFYICONDATAW data = PrepareIconData();
    Shell_NotifyIconW(NIM_DELETE, &data); // nothing to remove is no failure
}

void TNotifyIcon::UpdateTrayIcon() {
    // Nothing to change while the icon is not shown; and the shell's DLL waits until it first is.
    if (!iconVisible_) return;
    NOTIFYICONDATAW data = PrepareIconData();
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TNotifyIcon::setIconVisible(bool visible) {
    // Asking twice adds or removes twice; the second request simply finds nothing to do.
    if (visible)
        AddTrayIcon();
    else
        RemoveTrayIcon();
}

void TNotifyIcon::setHint(const std::string& hint) {
    hint_ = hint;
    UpdateTrayIcon();
}

void TNotifyIcon::setShowHint(bool show) {
    showHint_ = show;
    UpdateTrayIcon();
}

void TNotifyIcon::setIcon(HICON icon) {
    icon_ = icon;
    UpdateTrayIcon();
}

void TNotifyIcon::taskbarCreated() {
    if (iconVisible_) AddTrayIcon();
}

void TNotifyIcon::fire(const MouseEvent& event, TrayClicks::Button button) {
    static constexpr int keys[] = {0, VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
    POINT at{};
    GetCursorPos(&at);
    if (event) event(*this, keys[static_cast<int>(button)], at);
}

// The menu closes when the user clicks elsewhere only if a window of ours was in front.
void TNotifyIcon::OpenTrayMenu() {
    POINT at{};
    if (!popupMenu_ || !GetCursorPos(&at)) return;
    SetForegroundWindow(handler_->window());
    popupMenu_->popup(at, handler_->window());
    PostMessageW(handler_->window(), WM_NULL, 0, 0);
}
