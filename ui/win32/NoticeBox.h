#pragma once

#include <windows.h>

#include <future>
#include <string>
#include <thread>

// A message box that does not hold the program up: it runs on a thread of its own, so the panel
// goes on answering while it is on the screen. A newer notice takes the place of one still shown,
// and the box closes when its owner goes.
class NoticeBox {
public:
    NoticeBox() = default;
    ~NoticeBox() { close(); }
    NoticeBox(const NoticeBox&) = delete;
    NoticeBox& operator=(const NoticeBox&) = delete;

    void show(const std::string& text, const std::string& caption);
    void close();

private:
    std::thread thread_;
    DWORD threadId_ = 0;
};
