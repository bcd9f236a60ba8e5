#include "exchange/KeyExchange.h"
#include "exchange/KeyExchangePort.h"
#include "panels/PanelFactory.h"
#include "tests/support/PtyPair.h"
#include "tests/support/RecordingHost.h"

#include <gtest/gtest.h>

#include <QKeySequence>
#include <QTest>
#include <QToolTip>
#include <QWindow>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// Lamps take no presses of their own: a click on one is a click on the panel and nothing else.
const PanelPart& firstLamp(const PanelLayoutTable& table) {
    for (const PanelPart& part : table.parts)
        if (part.kind == PartKind::Lamp || part.kind == PartKind::LampStrip) return part;
    return table.parts.front();
}

bool okLampLit(const PanelForm& panel) {
    for (const PanelPart& part : panel.layout().parts) {
        const int shown = panel.component(part.name)->pictureId();
        if (part.kind == PartKind::LampStrip) return shown == lampStripPicture(LampDisplay::ShowOk);
        if (part.kind == PartKind::Lamp && part.lamp == Lamp::Ok) return shown == part.pressedId();
    }
    return false;
}

QKeyCombination combination(const char* text) {
    return QKeySequence(QString::fromLatin1(text), QKeySequence::PortableText)[0];
}

// Keys go to the panel's key exchange; the window buttons' requests are remembered.
class ExchangeHost : public PanelHost {
public:
    void SendKey(std::uint8_t key) override { exchange->SendKey(key); }
    void optionsRequested() override { calls.push_back("options"); }
    void HideToTray() override { calls.push_back("tray"); }
    void ExitProgram() override { calls.push_back("exit"); }
    void showMenu(const QPoint&) override { calls.push_back("menu"); }

    KeyExchange* exchange = nullptr;
    std::vector<std::string> calls;
};

// A shown, active panel whose keys go out through the real exchange on a pseudo-terminal; the test
// plays the recorder on the far end.
class KeyboardPanel : public ::testing::TestWithParam<PanelLayout> {
protected:
    void SetUp() override {
        prepareForKeyExchange(port);
        port.setCommPort(pty.slavePath());
        exchange.OpenPort();
        ASSERT_EQ(exchange.Tag(), KeyExchange::Ready);
        host.exchange = &exchange;
        panel->LoadPanelBitmaps();
        panel->show();
        panel->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
    }
    QWindow* window() { return panel->windowHandle(); }
    const PanelImage& part(const char* name) { return *panel->component(name); }
    // Answers the frame on the wire so the next key may go.
    bool answer() {
        pty.write({'X'});
        return QTest::qWaitFor([&] { return exchange.Tag() == KeyExchange::Ready; }, 2000);
    }
    void sendKey(QEvent::Type type, int key, bool autoRepeat, quint64 timestamp = 0) {
        QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
        event.setTimestamp(timestamp);
        QCoreApplication::sendEvent(panel.get(), &event);
    }
    bool allReleased() {
        for (const PanelPart& p : panel->layout().parts)
            if (p.isButton() && panel->component(p.name)->pictureId() != p.releasedId) return false;
        return true;
    }
    bool showsReleased(const char* name) {
        const PanelImage& image = part(name);
        return QTest::qWaitFor([&] { return image.pictureId() == image.part()->releasedId; }, 1000);
    }

    PtyPair pty;
    TSerialLink port;
    std::uint8_t idByte = 3;
    ExchangeHost host;
    std::unique_ptr<PanelForm> panel = createPanelForm(GetParam(), host);
    KeyExchange exchange{port, idByte, [this] { return panel.get(); }, [](LinkEvent, const PortFailure&) {}};
};

TEST_P(KeyboardPanel, EveryPcKeySendsItsButtonsFrameWhileThePressedPictureShows) {
    int keysTried = 0;
    for (const PanelPart& part : panel->layout().parts) {
        if (part.kind != PartKind::Key) continue;
        for (const char* text : part.pcKeys) {
            if (!text) continue;
            const QKeyCombination key = combination(text);
            QTest::keyPress(window(), key.key(), key.keyboardModifiers());
            EXPECT_EQ(pty.read(5), (Bytes{0xFF, 0xC0, 0x03, part.key, 0x7F})) << part.name << " " << text;
            EXPECT_EQ(part.pressedId(), panel->component(part.name)->pictureId()) << part.name << " " << text;
            ASSERT_TRUE(answer()) << part.name;
            QTest::keyRelease(window(), key.key(), key.keyboardModifiers());
            EXPECT_TRUE(showsReleased(part.name)) << part.name << " " << text;
            ++keysTried;
        }
    }
    EXPECT_GE(keysTried, 11);
    EXPECT_EQ(pty.read(1, 100ms), Bytes{}) << "releases send nothing";
    EXPECT_TRUE(okLampLit(*panel)) << "the answer lights the panel's ok lamp";
}

TEST_P(KeyboardPanel, AHeldKeyRepeatingSendsOneFrame) {
    QTest::keyPress(window(), Qt::Key_Space);
    EXPECT_EQ(pty.read(5), (Bytes{0xFF, 0xC0, 0x03, 'P', 0x7F}));
    ASSERT_TRUE(answer());
    for (quint64 time = 1000; time < 1005; ++time) {
        sendKey(QEvent::KeyRelease, Qt::Key_Space, true, time);
        sendKey(QEvent::KeyPress, Qt::Key_Space, true, time);
    }
    // How X11 repeats when the platform does not tell: a plain release and press at the same moment.
    for (quint64 time = 2000; time < 2005; ++time) {
        sendKey(QEvent::KeyRelease, Qt::Key_Space, false, time);
        QTest::qWait(5);
        sendKey(QEvent::KeyPress, Qt::Key_Space, false, time);
    }
    EXPECT_EQ(part("play_b").pictureId(), part("play_b").part()->pressedId()) << "still held";
    EXPECT_EQ(pty.read(5, 300ms), Bytes{}) << "the keyboard's repeats send nothing";
    EXPECT_EQ(part("play_b").pictureId(), part("play_b").part()->pressedId()) << "held until it is let go of";
    sendKey(QEvent::KeyRelease, Qt::Key_Space, false, 3000);
    EXPECT_TRUE(showsReleased("play_b"));
    sendKey(QEvent::KeyPress, Qt::Key_Space, false, 3100);
    EXPECT_EQ(pty.read(5), (Bytes{0xFF, 0xC0, 0x03, 'P', 0x7F})) << "the next press is a press again";
}

TEST_P(KeyboardPanel, ADisabledPanelIgnoresKeys) {
    panel->setEnabled(false);
    QTest::keyPress(window(), Qt::Key_Space);
    EXPECT_EQ(part("play_b").pictureId(), part("play_b").part()->releasedId);
    QTest::keyRelease(window(), Qt::Key_Space);
    QTest::keyClick(window(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(pty.read(5, 300ms), Bytes{});
    EXPECT_TRUE(host.calls.empty());
}

TEST_P(KeyboardPanel, WindowButtonsHaveTheMenusShortcutsAndActOnTheRelease) {
    struct Row {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        WindowAction action;
        const char* call;
    } rows[] = {{Qt::Key_P, Qt::ControlModifier, WindowAction::Preferences, "options"},
                {Qt::Key_H, Qt::ControlModifier, WindowAction::HideToTray, "tray"},
                {Qt::Key_F4, Qt::AltModifier, WindowAction::Exit, "exit"}};
    for (const auto& row : rows) {
        const PanelImage* button = nullptr;
        for (const PanelPart& part : panel->layout().parts)
            if (part.action == row.action) button = panel->component(part.name);
        ASSERT_NE(button, nullptr);
        host.calls.clear();
        QTest::keyPress(window(), row.key, row.modifiers);
        EXPECT_EQ(button->pictureId(), button->part()->pressedId()) << row.call;
        EXPECT_TRUE(host.calls.empty()) << "nothing happens before the release";
        // Letting go of the modifier first still releases the button it pressed.
        QTest::keyRelease(window(), row.key, Qt::NoModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !host.calls.empty(); }, 1000)) << row.call;
        EXPECT_EQ(button->pictureId(), button->part()->releasedId) << row.call;
        EXPECT_EQ(host.calls, std::vector<std::string>{row.call});
    }
    EXPECT_EQ(pty.read(1, 100ms), Bytes{}) << "window buttons send no key";
}

TEST_P(KeyboardPanel, BothEnterKeysAndTheKeypadWorkTheSameButtons) {
    struct Row {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::uint8_t code;
    } rows[] = {{Qt::Key_Return, Qt::NoModifier, '\r'},
                {Qt::Key_Enter, Qt::KeypadModifier, '\r'},
                {Qt::Key_Up, Qt::KeypadModifier, 'U'},
                {Qt::Key_1, Qt::KeypadModifier, '1'},
                {Qt::Key_R, Qt::ShiftModifier, 'r'}};
    for (const auto& row : rows) {
        if (row.code == '1' && GetParam() == PanelLayout::Brw721) continue; // no channel keys
        QTest::keyClick(window(), row.key, row.modifiers);
        EXPECT_EQ(pty.read(5), (Bytes{0xFF, 0xC0, 0x03, row.code, 0x7F})) << int(row.code);
        ASSERT_TRUE(answer());
        ASSERT_TRUE(QTest::qWaitFor([&] { return allReleased(); }, 1000));
    }
}

TEST_P(KeyboardPanel, AClickGivesTheKeyboardToAPanelThatDidNotHaveIt) {
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    const PanelPart& lamp = firstLamp(panel->layout());
    QTest::mouseClick(window(), Qt::LeftButton, {}, QRect(lamp.left, lamp.top, lamp.width, lamp.height).center());
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
    QTest::keyClick(window(), Qt::Key_Space);
    EXPECT_EQ(pty.read(5), (Bytes{0xFF, 0xC0, 0x03, 'P', 0x7F}));
}

INSTANTIATE_TEST_SUITE_P(EveryPanel, KeyboardPanel,
                         ::testing::Values(PanelLayout::Brw721, PanelLayout::Brw773, PanelLayout::Brw774,
                                           PanelLayout::Brw776, PanelLayout::Brw777),
                         [](const auto& info) { return std::string(panelLayout(info.param).caption); });

TEST(PanelKeyHints, EachHintEndsWithItsPcKeys) {
    RecordingHost host;
    const auto form = createPanelForm(PanelLayout::Brw773, host);
    PanelForm& panel = *form;
    panel.setShowHint(true);
    const std::pair<const char*, const char*> rows[] = {
        {"play_b", "PLAY (Space)"}, {"menu_b", "MENU (Esc or Backspace)"}, {"stop_b", "STOP (Down or S)"},
        {"power_b", "POWER"},       {"chan_3_b", "Channel (3)"},
    };
    for (auto [name, shown] : rows) {
        panel.setHint(name, QString::fromLatin1(shown).section(QLatin1String(" ("), 0, 0));
        EXPECT_EQ(panel.component(name)->toolTip(), QString::fromLatin1(shown)) << name;
    }
    EXPECT_EQ(panel.component("options_b")->toolTip(), QStringLiteral("Настройки (Ctrl+P)")) << "design-time hints too";
    panel.setHint("close_b", QString());
    EXPECT_EQ(panel.component("close_b")->toolTip(), QStringLiteral("Alt+F4")) << "the keys alone without a text";
    panel.setShowHint(false);
    EXPECT_EQ(panel.component("play_b")->toolTip(), QString());
}

TEST(PanelKeyHints, ShowOnHoverBeforeThePanelWasEverActive) {
    RecordingHost host;
    const auto form = createPanelForm(PanelLayout::Brw721, host);
    PanelForm& panel = *form;
    panel.LoadPanelBitmaps();
    panel.setShowHint(true);
    panel.setHint("play_b", QStringLiteral("PLAY"));
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    if (panel.isActiveWindow()) {
        other.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    }
    ASSERT_FALSE(panel.isActiveWindow());
    const QPoint play = panel.component("play_b")->geometry().center();
    QTest::mouseMove(panel.windowHandle(), play - QPoint(3, 3));
    QTest::mouseMove(panel.windowHandle(), play);
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 3000));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("PLAY (Space)"));
    QToolTip::hideText();
    EXPECT_TRUE(host.calls.empty());
}

} // namespace
