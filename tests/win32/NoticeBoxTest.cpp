#include "NoticeBox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

// The captions of this process's message boxes on the screen.
std::vector<std::wstring> shownBoxes() {
    std::vector<std::wstring> captions;
    EnumWindows(
        [](HWND window, LPARAM found) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            wchar_t className[16] = {}, caption[64] = {};
            if (process == GetCurrentProcessId() && IsWindowVisible(window) && GetClassNameW(window, className, 16) &&
                std::wstring_view(className) == L"#32770") {
                GetWindowTextW(window, caption, 64);
                reinterpret_cast<std::vector<std::wstring>*>(found)->push_back(caption);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&captions));
    return captions;
}

// A wine process's first window can take seconds while other tests start theirs.
bool eventuallyShown(const std::vector<std::wstring>& wanted) {
    for (int i = 0; i < 750; ++i) {
        if (shownBoxes() == wanted) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TEST(NoticeBox, ANewerNoticeTakesThePlaceOfOneStillShownAndTheBoxGoesWithItsOwner) {
    {
        NoticeBox notice;
        notice.show("the line is lost", "first");
        ASSERT_TRUE(eventuallyShown({L"first"}));
        notice.show("the line is lost again", "second");
        EXPECT_TRUE(eventuallyShown({L"second"}));
        // Closed before it was ever drawn, a box must not stay either.
        notice.show("gone at once", "third");
    }
    EXPECT_TRUE(shownBoxes().empty());
}

} // namespace
