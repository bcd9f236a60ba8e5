#include "NoticeBox.h"

#include "win32/WideText.h"

void NoticeBox::show(const std::string& text, const std::string& caption) {
    close();
    std::promise<DWORD> started;
    std::future<DWORD> startedId = started.get_future();
    thread_ = std::thread([text = widened(text), caption = widened(caption), &started] {
        // The thread's message queue exists before its id is handed out, so that close() can
        // always post to it.
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
        started.set_value(GetCurrentThreadId());
        MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    });
    threadId_ = startedId.get();
}

// A box's own loop ends on WM_QUIT, whether the box is already up or still to come.
void NoticeBox::close() {
    if (!thread_.joinable()) return;
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
}
