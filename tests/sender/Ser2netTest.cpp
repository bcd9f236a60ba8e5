#include "exchange/KeyExchange.h"
#include "exchange/KeyExchangePort.h"
#include "sender/KeySender.h"

#include "cli/SendArguments.h"
#include "tests/support/LocalPort.h"
#include "tests/support/PtyPair.h"
#include "tests/support/RecorderProcess.h"
#include "tests/support/RecordingPanel.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScopedWorkDir.h"
#include "tests/support/SpawnedProcess.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <csignal>
#include <fstream>
#include <optional>
#include <sstream>
#include <termios.h>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using D = LampDisplay;
using Clock = std::chrono::steady_clock;

// A real ser2net on 127.0.0.1 in front of one device, in telnet/RFC 2217 mode or raw.
class Ser2net {
public:
    Ser2net(const std::string& device, bool telnet) : port_(freeLocalPort()), telnet_(telnet) {
        std::ofstream(config()) << "connection: &line\n  accepter: " << (telnet ? "telnet(rfc2217),tcp" : "tcp")
                                << ",127.0.0.1," << port_ << "\n  connector: serialdev," << device
                                << ",9600n81,local\n  options:\n    kickolduser: true\n    chardelay: false\n";
        start();
    }
    std::string url() const { return (telnet_ ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:") + std::to_string(port_); }
    void start() {
        process_.emplace("/usr/sbin/ser2net",
                         std::vector<std::string>{"-n", "-u", "-c", config(), "-P", dir_.filePath("pid").toStdString()},
                         SpawnedProcess::Output::StdoutAndStderr);
        const auto deadline = Clock::now() + 5s;
        while (!listeningOn(port_) && Clock::now() < deadline)
            mainLoop().runUntil([] { return false; }, 20ms);
    }
    void kill() { process_.reset(); }
    void signal(int number) const { process_->signal(number); }

private:
    std::string config() const { return dir_.filePath("ser2net.yaml").toStdString(); }

    QTemporaryDir dir_;
    std::uint16_t port_;
    bool telnet_;
    std::optional<SpawnedProcess> process_;
};

// The exchange through ser2net to a pseudo-terminal whose far end the test plays as the recorder.
class ThroughSer2net : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::ifstream("/usr/sbin/ser2net").good()) << "tools/install-deps.sh installs ser2net";
        prepareForKeyExchange(port);
        exchange.port_timeout_tmr.setInterval(400);
        port.setBaudRate(19200);
        port.setCommPort(server.url());
        exchange.OpenPort();
        ASSERT_TRUE(connects());
    }
    bool connects() {
        const int before = count(LinkEvent::Connected);
        return mainLoop().runUntil([&] { return count(LinkEvent::Connected) > before; }, 6s);
    }
    int count(LinkEvent event) const { return static_cast<int>(std::count(events.begin(), events.end(), event)); }
    Bytes press(std::uint8_t key, const Bytes& reply = {}) {
        // A frame goes out whole within SendKey: the socket takes each byte at once.
        exchange.SendKey(key);
        const Bytes frame = pty.read(5);
        if (!reply.empty()) pty.write(reply);
        return frame;
    }
    bool settles(D display) {
        return mainLoop().runUntil(
            [&] { return panel.last() == display && exchange.Tag() != KeyExchange::AwaitingReply; }, 3s);
    }

    PtyPair pty;
    Ser2net server{pty.slavePath(), GetParam()};
    TSerialLink port;
    std::uint8_t idByte = 0xFF;
    RecordingPanel panel;
    std::vector<LinkEvent> events;
    KeyExchange exchange{port, idByte, [this] { return &panel; },
                         [this](LinkEvent event, const PortFailure&) { events.push_back(event); }};
};

TEST_P(ThroughSer2net, FramesArriveWholeAndTheAnswersLightTheirLamps) {
    EXPECT_EQ(press(0x50, {'X'}), (Bytes{0xFF, 0xC0, 0xFF, 0x50, 0x7F})) << "0xFF in the frame, twice";
    EXPECT_TRUE(settles(D::ShowOk));
    press(0x51, {'Y'});
    EXPECT_TRUE(settles(D::ShowBusy));
    press(0x52);
    EXPECT_TRUE(settles(D::ShowNoLine));
    EXPECT_TRUE(connects()) << "connected afresh after the silence";
    EXPECT_EQ(press(0x53, {'X'}), (Bytes{0xFF, 0xC0, 0xFF, 0x53, 0x7F}));
    EXPECT_TRUE(settles(D::ShowOk));
    termios line{};
    ASSERT_EQ(tcgetattr(pty.master(), &line), 0);
    // Telnet carries the speed to the far line; a raw server keeps its own.
    EXPECT_EQ(cfgetospeed(&line), GetParam() ? B19200 : B9600);
}

TEST_P(ThroughSer2net, AServerThatGoesAndComesBackIsOneNoticeAndThenWorks) {
    server.kill();
    EXPECT_TRUE(mainLoop().runUntil([&] { return count(LinkEvent::Lost) == 1; }, 8s));
    exchange.SendKey(0x50);
    EXPECT_EQ(panel.last(), D::ShowNoLine) << "a press while it is away";
    server.start();
    EXPECT_TRUE(connects());
    EXPECT_EQ(count(LinkEvent::Lost), 1);
    EXPECT_EQ(count(LinkEvent::OpenFailed), 0);
    press(0x50, {'X'});
    EXPECT_TRUE(settles(D::ShowOk));
}

INSTANTIATE_TEST_SUITE_P(Modes, ThroughSer2net, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Rfc2217" : "Raw"; });

class FrozenSer2net : public ThroughSer2net {};

TEST_P(FrozenSer2net, StoppedPressesAreNeverDeliveredLateButTheFirst) {
    server.signal(SIGSTOP);
    for (const std::uint8_t key : {0x61, 0x62, 0x63}) {
        exchange.SendKey(key);
        EXPECT_TRUE(settles(D::ShowNoLine)) << int(key);
        mainLoop().runUntil([] { return false; }, 300ms);
    }
    server.signal(SIGCONT);
    const Bytes late = pty.read(15, 1500ms);
    EXPECT_LE(late.size(), 5u) << "at most the frame the server had taken before it stopped";
    if (!late.empty()) {
        EXPECT_EQ(late, (Bytes{0xFF, 0xC0, 0xFF, 0x61, 0x7F}));
    }
    EXPECT_TRUE(connects());
    EXPECT_EQ(press(0x64, {'X'}), (Bytes{0xFF, 0xC0, 0xFF, 0x64, 0x7F}));
    EXPECT_TRUE(settles(D::ShowOk));
}

INSTANTIATE_TEST_SUITE_P(Telnet, FrozenSer2net, ::testing::Values(true), [](const auto&) { return "Rfc2217"; });

TEST(SendThroughSer2net, ExitStatusesAsOnALocalLine) {
    const ScopedWorkDir dir;
    const ScopedEnv englishDesktop{{"LANG", QByteArray("C.UTF-8")}};
    const struct {
        const char* answer;
        int status;
    } rows[] = {{"x", KeySender::AllOk}, {"none", KeySender::SomeNoReply}};
    for (const auto& row : rows) {
        RecorderProcess recorder({"--answer", row.answer});
        Ser2net server(recorder.devicePath(), true);
        std::ostringstream out, err;
        const std::vector<std::string> args{"--port", server.url(), "--model", "BRW721", "--timeout", "300", "play"};
        const std::vector<std::string_view> views(args.begin(), args.end());
        EXPECT_EQ(KeySender(out, err).run(parseSendArguments(views)), row.status) << row.answer << err.str();
        EXPECT_TRUE(recorder.logs("frame id=00 key=50")) << row.answer;
    }
    std::ostringstream out, err;
    const std::vector<std::string> args{"--port", "rfc2217://127.0.0.1:" + std::to_string(freeLocalPort()), "0x50"};
    const std::vector<std::string_view> views(args.begin(), args.end());
    EXPECT_EQ(KeySender(out, err).run(parseSendArguments(views)), KeySender::PortFailed);
    EXPECT_NE(err.str().find("connection was refused"), std::string::npos) << err.str();
}

} // namespace
