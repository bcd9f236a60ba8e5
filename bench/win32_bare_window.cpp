// The Windows start-up benchmark's baseline: a bare Win32 program with a borderless window of the 721
// panel's size, painted plain, that opens the COM port named on its command line and writes a key
// frame to it when the window is pressed.

#include <windows.h>

#include <string>

namespace {

HANDLE line = INVALID_HANDLE_VALUE;

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(window, &paint);
        FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
        EndPaint(window, &paint);
        return 0;
    }
    case WM_LBUTTONDOWN: {
        static constexpr BYTE frame[] = {0xFF, 0xC0, 0x00, 'P', 0x7F};
        DWORD written = 0;
        WriteFile(line, frame, sizeof frame, &written, nullptr);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    const std::wstring port = std::wstring(L"\\\\.\\") + commandLine;
    line = CreateFileW(port.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (line == INVALID_HANDLE_VALUE) return 1;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = L"BareWindow";
    RegisterClassW(&windowClass);
    CreateWindowExW(0, windowClass.lpszClassName, L"bare window", WS_POPUP | WS_VISIBLE, 100, 100, 663, 170, nullptr,
                    nullptr, instance, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    CloseHandle(line);
    return 0;
}
