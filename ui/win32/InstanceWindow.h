#pragma once

#include <windows.h>

#include <functional>
#include <string>

// How a later launch of the program reaches the copy that runs: the running copy keeps a hidden
// window whose class is named after the program file (the single-instance name), and a later copy
// finds it, lets it take the foreground and asks it to come forward.
class InstanceWindow {
public:
    // Listens for later launches; only the copy that holds the single-instance semaphore may do this.
    InstanceWindow(const std::wstring& instanceName, std::function<void()> onComeForward);
    ~InstanceWindow();
    InstanceWindow(const InstanceWindow&) = delete;
    InstanceWindow& operator=(const InstanceWindow&) = delete;

    HWND window() const { return window_; }

    // Asks the running copy to come forward; true when its window was found and told.
    static bool askToComeForward(const std::wstring& instanceName);

    // The window class for a single-instance name: the name itself may be longer than a class name
    // can be, so a digest of it stands in.
    static std::wstring className(const std::wstring& instanceName);

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::wstring className_;
    std::function<void()> onComeForward_;
    HWND window_ = nullptr;
};
