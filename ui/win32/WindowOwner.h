#pragma once

#include <windows.h>

// The object a window was made for (CreateWindowExW's last argument), kept in the window's user data
// from WM_NCCREATE on; none for the messages before it, or once the owner has let go of the window.
template <class Owner> Owner* windowOwner(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}
