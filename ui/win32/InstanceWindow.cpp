#include "InstanceWindow.h"

#include "WindowOwner.h"

#include <cstdint>
#include <cwchar>

namespace {

UINT comeForwardMessage() {
    static const UINT message = RegisterWindowMessageW(L"Lumevanta come forward");
    return message;
}

} // namespace

std::wstring InstanceWindow::className(const std::wstring& instanceName) {
    // FNV-1a over the name's UTF-16 units.
    std::uint64_t digest = 14695981039346656037ull;
    for (wchar_t c : instanceName) {
        digest ^= static_cast<std::uint16_t>(c);
        digest *= 1099511628211ull;
    }
    wchar_t hex[17] = {};
    std::swprintf(hex, 17, L"%016llx", static_cast<unsigned long long>(digest));
    return L"Lumevanta instance " + std::wstring(hex);
}

InstanceWindow::InstanceWindow(const std::wstring& instanceName, std::function<void()> onComeForward)
    : className_(className(instanceName)), onComeForward_(std::move(onComeForward)) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &InstanceWindow::windowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className_.c_str();
    RegisterClassExW(&windowClass);
    // Top-level, so that FindWindow sees it; never shown.
    window_ = CreateWindowExW(WS_EX_TOOLWINDOW, className_.c_str(), L"basic", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              windowClass.hInstance, this);
}

InstanceWindow::~InstanceWindow() {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

LRESULT CALLBACK InstanceWindow::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const InstanceWindow* self = windowOwner<InstanceWindow>(window, message, lParam);
    if (self && message == comeForwardMessage() && comeForwardMessage() != 0) {
        if (self->onComeForward_) self->onComeForward_();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool InstanceWindow::askToComeForward(const std::wstring& instanceName) {
    HWND running = FindWindowW(className(instanceName).c_str(), nullptr);
    if (!running || comeForwardMessage() == 0) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(running, &process);
    // Windows gives the foreground only to whom the user is working with, which is this launch: it
    // hands that on.
    AllowSetForegroundWindow(process);
    // Posted: the running copy may be in a dialog of its own, and this copy must not wait on it.
    return PostMessageW(running, comeForwardMessage(), 0, 0) != FALSE;
}
