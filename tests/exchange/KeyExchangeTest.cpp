#include "exchange/KeyExchange.h"
#include "tests/link/FakePort.h"
#include "tests/support/PtyPair.h"
#include "tests/support/RecordingPanel.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

namespace {

using Bytes = std::vector<std::uint8_t>;
using D = LampDisplay;

// The exchange on a real pseudo-terminal; the test plays the recorder on the far end.
class Exchange : public ::testing::Test {
protected:
    void SetUp() override {
        port.setRTOCharDelayTime(0);
        port.setRTOExtraDelayTime(0);
        port.setWTOCharDelayTime(0);
        port.setWTOExtraDelayTime(0);
        port.setCommPort(pty.slavePath());
        exchange.OpenPort();
        ASSERT_EQ(exchange.Tag(), KeyExchange::Ready);
        panel.displays.clear();
    }
    // Presses a key and answers with reply (if any) once the frame is in.
    Bytes press(std::uint8_t key, const Bytes& reply = {}) {
        exchange.SendKey(key);
        Bytes frame = pty.read(5);
        if (!reply.empty()) pty.write(reply);
        return frame;
    }
    bool settles(D display, int ms = 1000) {
        return pumpUntil([&] { return panel.last() == display && exchange.Tag() == KeyExchange::Ready; }, ms);
    }

    PtyPair pty;
    TSerialLink port;
    std::uint8_t idByte = 0;
    RecordingPanel panel;
    std::vector<QString> messages;
    KeyExchange exchange{
        port, idByte, [this] { return &panel; },
        [this](const QString& text, const QString& caption) { messages.push_back(text + "|" + caption); }};
};

TEST_F(Exchange, SendsTheKeyFrameByteByByte) {
    idByte = 3;
    EXPECT_EQ(press(0x31), (Bytes{0xFF, 0xC0, 0x03, 0x31, 0x7F}));
    ASSERT_TRUE(settles(D::ShowNoLine, 3000));
    idByte = 255;
    EXPECT_EQ(press(0x7F), (Bytes{0xFF, 0xC0, 0xFF, 0x7F, 0x7F})) << "frame markers may stand in the frame";
}

TEST_F(Exchange, AnXLightsOkAndAYLightsBusy) {
    press(1, {'X'});
    ASSERT_TRUE(settles(D::ShowOk));
    EXPECT_EQ(panel.displays, (std::vector<D>{D::ShowSending, D::ShowOk}));
    EXPECT_FALSE(exchange.port_timeout_tmr.isActive());
    EXPECT_TRUE(exchange.timer_lightoff.isActive());

    press(2, {'Y'});
    ASSERT_TRUE(settles(D::ShowBusy));
}

TEST_F(Exchange, OnlyTheFirstAnswerOfAChunkCounts) {
    press(1, {'X', 'Y'});
    ASSERT_TRUE(settles(D::ShowOk));
    QTest::qWait(50);
    EXPECT_EQ(panel.displays, (std::vector<D>{D::ShowSending, D::ShowOk}));
}

TEST_F(Exchange, NoiseBeforeTheAnswerIsSkipped) {
    press(1, {0x00, 0x41, 'X'});
    ASSERT_TRUE(settles(D::ShowOk));
}

TEST_F(Exchange, SilenceEndsInNoLineAndALateAnswerIsIgnored) {
    QElapsedTimer clock;
    clock.start();
    press(1);
    ASSERT_TRUE(settles(D::ShowNoLine, 3000));
    EXPECT_GE(clock.elapsed(), 1400);
    pty.write({'X'});
    QTest::qWait(200);
    EXPECT_EQ(panel.last(), D::ShowNoLine);
    ASSERT_TRUE(pumpUntil([&] { return panel.last() == D::LampsOff; }, 3000)) << "dark 2 s after the time-out";
    EXPECT_GE(clock.elapsed(), 3300);
}

TEST_F(Exchange, APressDuringAnExchangeIsDropped) {
    exchange.SendKey(1);
    EXPECT_EQ(pty.read(5).size(), 5u);
    const auto displays = panel.displays;
    exchange.SendKey(2);
    EXPECT_TRUE(pty.read(1, std::chrono::milliseconds(100)).empty());
    EXPECT_EQ(panel.displays, displays);
    EXPECT_EQ(exchange.Tag(), KeyExchange::AwaitingReply);
}

TEST_F(Exchange, ANewPressCancelsThePendingDarkOut) {
    exchange.timer_lightoff.setInterval(300); // the rule, not the length, is under test
    press(1, {'X'});
    ASSERT_TRUE(settles(D::ShowOk));
    press(2);
    EXPECT_FALSE(exchange.timer_lightoff.isActive());
    QTest::qWait(450); // well past the first answer's dark-out
    EXPECT_EQ(panel.last(), D::ShowSending) << "the work lamp stays lit";
    pty.write({'X'});
    ASSERT_TRUE(settles(D::ShowOk));
    ASSERT_TRUE(pumpUntil([&] { return panel.last() == D::LampsOff; }, 3000));
}

TEST(ExchangeWithoutPort, AFailedOpenRefusesEveryPress) {
    TSerialLink port;
    port.setCommPort("/dev/no-such-recorder");
    std::uint8_t id = 0;
    RecordingPanel panel;
    std::vector<QString> messages;
    KeyExchange exchange(
        port, id, [&] { return &panel; },
        [&](const QString& text, const QString& caption) { messages.push_back(text + "|" + caption); });
    exchange.OpenPort();
    EXPECT_EQ(exchange.Tag(), KeyExchange::NoPort);
    EXPECT_EQ(messages, std::vector<QString>{QStringLiteral("Ошибка подключения к COM порту|Error connect")});
    exchange.SendKey(1);
    exchange.SendKey(2);
    EXPECT_TRUE(panel.displays.empty());
}

TEST(ExchangeWithoutPort, AStalledWriteShowsNoLineAndEndsTheExchange) {
    FakePort fake;
    fake.device->setWritesPend(true);
    fake.link->setActive(true);
    std::uint8_t id = 0;
    RecordingPanel panel;
    KeyExchange exchange(
        *fake.link, id, [&] { return &panel; }, [](const QString&, const QString&) {});
    QElapsedTimer clock;
    clock.start();
    exchange.SendKey(1);
    EXPECT_GE(clock.elapsed(), 450);
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_EQ(panel.displays.at(1), D::ShowNoLine);
    EXPECT_EQ(exchange.Tag(), KeyExchange::Ready);
    EXPECT_EQ(fake.device->calls(FakeSerialDevice::Call::StartWrite), 1) << "the rest of the frame was refused";
    fake.device->completeWrite(1);
}

TEST(ExchangeWithoutPort, NoActivePanelMeansNoLamps) {
    FakePort fake;
    fake.link->setActive(true);
    std::uint8_t id = 0;
    KeyExchange exchange(
        *fake.link, id, [] { return nullptr; }, [](const QString&, const QString&) {});
    exchange.SendKey(1);
    EXPECT_EQ(fake.device->written().size(), 5u);
}

} // namespace
