#include "exchange/KeyExchange.h"
#include "exchange/KeyExchangePort.h"
#include "exchange/KeyFrame.h"
#include "tests/link/FakePort.h"
#include "tests/support/PluggableLine.h"
#include "tests/support/PtyPair.h"
#include "tests/support/RecordingPanel.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <fcntl.h>
#include <fstream>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
using D = LampDisplay;

// What the exchange told its owner about the line.
struct LinkLog {
    KeyExchange::LinkReporter reporter() {
        return [this](LinkEvent event, const PortFailure& failure) {
            events.push_back(event);
            failures.push_back(failure);
        };
    }
    int count(LinkEvent event) const { return static_cast<int>(std::count(events.begin(), events.end(), event)); }

    std::vector<LinkEvent> events;
    std::vector<PortFailure> failures;
};

// The exchange on a real pseudo-terminal; the test plays the recorder on the far end.
class Exchange : public ::testing::Test {
protected:
    void SetUp() override {
        prepareForKeyExchange(port);
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
    LinkLog log;
    KeyExchange exchange{port, idByte, [this] { return &panel; }, log.reporter()};
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

// An answer is credited only to the frame it follows: one already waiting in the line, read or
// not, is a late answer to something else.
TEST_F(Exchange, AnAnswerWaitingBeforeTheFrameIsNotCreditedToIt) {
    exchange.port_timeout_tmr.setInterval(300); // the rule, not the length, is under test
    port.setThreadQuietMode(true);              // the next one stays queued, as if its notice were on its way
    pty.write({'X'});
    ASSERT_TRUE(pumpUntil([&] { return port.QueuedClusters() == 1; }, 1000));
    port.setThreadQuietMode(false);
    pty.write({'X'}); // and one still unread in the line: there, or read, before the press
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (pty.waitingAtSlave() == 0 && port.QueuedClusters() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    panel.displays.clear();
    EXPECT_EQ(press(1).size(), 5u);
    ASSERT_TRUE(settles(D::ShowNoLine));
    EXPECT_EQ(panel.displays, (std::vector<D>{D::ShowSending, D::ShowNoLine}));
    press(2, {'Y'});
    ASSERT_TRUE(settles(D::ShowBusy)) << "the answer to the frame itself still counts";
}

// A line whose output is held (XOFF, a stuck adapter) ends the press in noline, and once it moves
// again it carries neither that frame nor part of it: only the next press's whole frame.
TEST_F(Exchange, AStalledLineNeverSendsHalfAFrameOrAnOldOne) {
    const UniqueFd line(::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
    ASSERT_TRUE(line.valid());
    ASSERT_EQ(tcflow(line.get(), TCOOFF), 0);
    for (std::uint8_t key : {1, 2}) {
        exchange.SendKey(key);
        ASSERT_TRUE(settles(D::ShowNoLine)) << int(key);
    }
    ASSERT_EQ(tcflow(line.get(), TCOON), 0);
    EXPECT_TRUE(pty.read(1, std::chrono::milliseconds(200)).empty()) << "nothing of the stalled presses";
    EXPECT_EQ(press(3), (Bytes{0xFF, 0xC0, 0x00, 0x03, 0x7F}));
}

// Closing (Exit, or OK in the dialog) while the worker waits to hand an answer to the GUI thread
// does not wait for it.
TEST_F(Exchange, ClosingWhileAnAnswerIsOnItsWayDoesNotWait) {
    exchange.SendKey(1);
    EXPECT_EQ(pty.read(5).size(), 5u);
    pty.write({'X'});
    QElapsedTimer clock;
    clock.start();
    while (port.QueuedClusters() == 0 && clock.elapsed() < 1000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1)); // no events: the hand-off stays pending
    ASSERT_EQ(port.QueuedClusters(), 1u);
    clock.restart();
    exchange.ClosePort();
    EXPECT_LT(clock.elapsed(), 300);
    EXPECT_FALSE(port.Active());
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

TEST(ExchangeWithoutPort, ANameThatIsNotASerialLineIsRefusedAndNeverWrittenTo) {
    QTemporaryDir folder;
    const std::string file = folder.filePath("recorder").toStdString();
    const std::string bytes("\x01\x02 recorder settings\n", 21);
    std::ofstream(file, std::ios::binary) << bytes;
    TSerialLink port;
    port.setCommPort(file);
    std::uint8_t id = 0;
    RecordingPanel panel;
    LinkLog log;
    KeyExchange exchange(
        port, id, [&] { return &panel; }, log.reporter());
    exchange.OpenPort();
    EXPECT_EQ(exchange.Tag(), KeyExchange::NoPort);
    EXPECT_EQ(log.events, std::vector<LinkEvent>{LinkEvent::OpenFailed});
    EXPECT_EQ(log.failures.at(0).fault, PortFault::NotSerial);
    EXPECT_FALSE(exchange.lookingForDevice()) << "a file does not turn into a serial line";
    exchange.SendKey(1);
    exchange.SendKey(2);
    EXPECT_TRUE(panel.displays.empty()) << "presses are refused as they always were";
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes);
}

class Unplugging : public ::testing::Test {
protected:
    void SetUp() override {
        prepareForKeyExchange(port);
        port.setCommPort(recorder.name());
    }
    bool answered(std::uint8_t key) {
        panel.displays.clear();
        exchange.SendKey(key);
        const auto frame = KeyFrame::make(0, key);
        if (recorder.line().read(5) != Bytes(frame.begin(), frame.end())) return false;
        recorder.line().write({'X'});
        return pumpUntil([&] { return panel.last() == D::ShowOk; }, 1000);
    }

    PluggableLine recorder;
    TSerialLink port;
    std::uint8_t idByte = 0;
    RecordingPanel panel;
    LinkLog log;
    KeyExchange exchange{port, idByte, [this] { return &panel; }, log.reporter()};
};

TEST_F(Unplugging, ARecorderThatGoesAndComesBackAtTheSameNameGetsTheNextPress) {
    ASSERT_TRUE(recorder.plugIn());
    exchange.OpenPort();
    ASSERT_TRUE(answered(1));

    recorder.pullOut();
    ASSERT_TRUE(pumpUntil([&] { return log.count(LinkEvent::Lost) == 1; }, 1000));
    EXPECT_FALSE(port.Active()) << "the dead port is closed at once";
    EXPECT_EQ(log.failures.back().fault, PortFault::NoDevice);
    for (int press = 0; press < 3; ++press) {
        panel.displays.clear();
        exchange.SendKey(2);
        EXPECT_EQ(panel.displays, std::vector<D>{D::ShowNoLine}) << "press " << press;
    }
    EXPECT_EQ(log.count(LinkEvent::Lost), 1) << "one loss, told once";

    ASSERT_TRUE(recorder.plugIn());
    ASSERT_TRUE(pumpUntil([&] { return port.Active(); }, 2500)) << "found again without a press";
    EXPECT_EQ(log.events.back(), LinkEvent::Connected);
    EXPECT_EQ(log.count(LinkEvent::OpenFailed), 0) << "nothing but the loss was ever said";
    EXPECT_TRUE(answered(3));
}

TEST_F(Unplugging, ThePressThatFindsTheLineDeadLightsNoLineAtOnce) {
    ASSERT_TRUE(recorder.plugIn());
    exchange.OpenPort();
    exchange.SendKey(1);
    ASSERT_EQ(recorder.line().read(5).size(), 5u);
    QElapsedTimer clock;
    clock.start();
    recorder.pullOut();
    ASSERT_TRUE(pumpUntil([&] { return panel.last() == D::ShowNoLine; }, 1400));
    EXPECT_LT(clock.elapsed(), 1400) << "not left to the reply time-out";
    EXPECT_FALSE(exchange.port_timeout_tmr.isActive());
    EXPECT_EQ(exchange.Tag(), KeyExchange::NoPort);
}

TEST_F(Unplugging, ARecorderMissingAtTheStartIsUsedOnceItIsThere) {
    exchange.reconnect_tmr.setInterval(3'600'000); // only presses look for it here
    exchange.OpenPort();
    ASSERT_EQ(log.events, std::vector<LinkEvent>{LinkEvent::OpenFailed});
    EXPECT_EQ(log.failures[0].fault, PortFault::NoDevice);
    EXPECT_TRUE(exchange.lookingForDevice());
    exchange.SendKey(1);
    EXPECT_EQ(panel.last(), D::ShowNoLine);
    EXPECT_EQ(exchange.Tag(), KeyExchange::NoPort);

    ASSERT_TRUE(recorder.plugIn());
    EXPECT_TRUE(answered(2)) << "the press found the recorder and reached it";
    EXPECT_FALSE(exchange.lookingForDevice());
}

TEST_F(Unplugging, ClosingThePortStopsLookingForIt) {
    exchange.OpenPort();
    ASSERT_TRUE(exchange.lookingForDevice());
    exchange.ClosePort();
    ASSERT_TRUE(recorder.plugIn());
    QTest::qWait(1300);
    EXPECT_FALSE(port.Active());
    exchange.SendKey(1);
    EXPECT_TRUE(recorder.line().read(1, std::chrono::milliseconds(100)).empty());
}

} // namespace
