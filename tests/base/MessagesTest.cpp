#include "base/Messages.h"

#include "tests/support/MessageRecorder.h"

#include <gtest/gtest.h>

namespace {

TEST(MessageLog, ABoxIsOneLine) {
    struct Row {
        const char* why;
        const char* text;
        const char* caption;
        const char* line;
    } rows[] = {
        {"one line as it is", "Программа уже запущена", "/opt/lumevanta", "/opt/lumevanta: Программа уже запущена"},
        {"CR LF, CR and LF alike", "one\r\ntwo\rthree\nfour", "Error", "Error: one / two / three / four"},
        {"blank lines and blanks around breaks fold into one", "one \r\n\r\n  two", "Error", "Error: one / two"},
        {"no caption", "one\ntwo", "", "one / two"},
        {"breaks at the ends go", "\none\n", "Error", "Error: one"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Messages::oneLine(QString::fromUtf8(row.text), QString::fromUtf8(row.caption)).toStdString(),
                  row.line)
            << row.why;
}

TEST(MessageLog, EveryBoxShownIsLoggedFirst) {
    MessageRecorder recorder;
    std::size_t loggedWhenShown = 0;
    recorder.onShow = [&] { loggedWhenShown = recorder.logged.size(); };
    Messages::show("Range check error", "Lumevanta", Messages::Icon::Error);
    ASSERT_EQ(recorder.shown.size(), 1u);
    EXPECT_EQ(loggedWhenShown, 1u) << "a box that blocks has already been logged";
    ASSERT_EQ(recorder.logged.size(), 1u);
    EXPECT_EQ(recorder.logged[0].toStdString(), "Lumevanta: Range check error");
}

} // namespace
