#include "base/MainLoop.h"
#include "link/SerialLink.h"
#include "link/TelnetCodec.h"
#include "tests/link/FakePort.h"
#include "tests/support/SpawnedProcess.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
constexpr std::uint8_t Iac = Telnet::Iac, Sb = Telnet::Sb, Se = Telnet::Se, Com = Telnet::ComPortOption;

// How the fake RFC 2217 server behaves for what a real one cannot be made to do.
struct Script {
    enum { Agree, RefuseOption, Silent } start = Agree;
    std::optional<std::uint32_t> baudAnswer = std::nullopt; // none: the speed asked for
    Bytes afterSetup = {};                                  // sent once the line settings are answered
};

// One connection on 127.0.0.1, played by a thread until the client goes or the test ends.
class FakeServer {
public:
    explicit FakeServer(Script script) : script_(std::move(script)) {
        listener_ = UniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), size);
        ::listen(listener_.get(), 4);
        ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { play(); });
    }
    ~FakeServer() {
        done_ = true;
        thread_.join();
    }
    std::string url() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }
    Bytes wire() {
        std::lock_guard lock(mutex_);
        return wire_;
    }

private:
    void send(const Bytes& bytes) const { ::send(connection_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL); }

    void play() {
        if (!waitReadable(listener_.get(), Clock::now() + 5s)) return;
        connection_ = UniqueFd(::accept(listener_.get(), nullptr, nullptr));
        if (script_.start == Script::RefuseOption) send({Iac, Telnet::Dont, Com});
        if (script_.start == Script::Agree) send({Iac, Telnet::Do, Com});
        std::size_t parsed = 0;
        while (!done_) {
            if (!waitReadable(connection_.get(), Clock::now() + 50ms)) continue;
            std::uint8_t chunk[512];
            const ssize_t n = ::recv(connection_.get(), chunk, sizeof chunk, 0);
            if (n <= 0) return;
            std::lock_guard lock(mutex_);
            wire_.insert(wire_.end(), chunk, chunk + n);
            if (script_.start == Script::Agree) parsed = answerRequests(parsed);
        }
    }

    // Answers each complete IAC SB COM-PORT-OPTION request from parsed on with the value it asked
    // for (or the scripted speed); returns how far the stream has been read.
    std::size_t answerRequests(std::size_t from) {
        const Bytes opening{Iac, Sb, Com}, closing{Iac, Se};
        for (;;) {
            const auto start = std::search(wire_.begin() + static_cast<std::ptrdiff_t>(from), wire_.end(),
                                           opening.begin(), opening.end());
            const auto end = std::search(start, wire_.end(), closing.begin(), closing.end());
            if (start == wire_.end() || end == wire_.end()) return from;
            Bytes value(start + 4, end);
            const std::uint8_t command = start[3];
            if (command == ComPort::SetBaudRate && script_.baudAnswer)
                value = {0, 0, static_cast<std::uint8_t>(*script_.baudAnswer >> 8),
                         static_cast<std::uint8_t>(*script_.baudAnswer)};
            send(TelnetCodec::comPortRequest(command + ComPort::ServerReply, value));
            if (command == ComPort::SetStopSize) send(script_.afterSetup);
            from = static_cast<std::size_t>(end - wire_.begin()) + 2;
        }
    }

    Script script_;
    UniqueFd listener_, connection_;
    std::uint16_t port_ = 0;
    std::atomic<bool> done_{false};
    std::mutex mutex_;
    Bytes wire_; // everything the client sent
    std::thread thread_;
};

// Opens the link as lumevanta-send does: until the background connection has ended either way.
void openNetworkLine(TSerialLink& link, const std::string& name) {
    link.setCommPort(name);
    mainLoop().runUntil(
        [&link] {
            link.setActive(true);
            return link.LastFailure().fault != PortFault::Connecting;
        },
        6s);
}

TEST(NetworkLine, AFailedOpenSaysWhyInBoundedTime) {
    const struct {
        const char* why;
        std::optional<Script> server; // none: the name as it is
        std::string name;
        PortFault fault;
    } rows[] = {
        {"a server in raw mode, or one without the option, refuses it", Script{Script::RefuseOption}, "",
         PortFault::OptionRefused},
        {"a server that never answers the offer is given up", Script{Script::Silent}, "", PortFault::Unreachable},
        {"a speed the server cannot do", Script{Script::Agree, 4800}, "", PortFault::BadSpeed},
        {"nothing listens", std::nullopt, "rfc2217://127.0.0.1:1", PortFault::Refused},
        {"a host nobody knows", std::nullopt, "tcp://no-such-host.invalid:4001", PortFault::Unresolved},
        {"no port in the name", std::nullopt, "rfc2217://127.0.0.1", PortFault::BadAddress},
    };
    for (const auto& row : rows) {
        std::optional<FakeServer> server;
        if (row.server) server.emplace(*row.server);
        const std::string name = server ? server->url() : row.name;
        TSerialLink link;
        const auto started = Clock::now();
        openNetworkLine(link, name);
        EXPECT_FALSE(link.Active()) << row.why;
        EXPECT_EQ(link.LastFailure().fault, row.fault) << row.why;
        EXPECT_EQ(link.LastFailure().devicePath, name) << row.why << ": named as given, not as a device";
        EXPECT_LT(Clock::now() - started, 2s) << row.why;
    }
}

TEST(NetworkLine, TelnetCommandsNeverReachTheDataAndEvery0xFFIsDoubled) {
    FakeServer server(
        {Script::Agree, std::nullopt, {Iac, Telnet::Will, 1, Iac, 241, Iac, Iac, 'X', Iac, Sb, 24, 1, Iac, Se, 'Y'}});
    TSerialLink link;
    std::string received;
    link.setHandler(TSerialLink::OnRxClusterEvent, [&received](TSerialLink& l) { received += l.TakeNextCluster(); });
    openNetworkLine(link, server.url());
    ASSERT_TRUE(link.Active()) << link.LastFailure();
    EXPECT_TRUE(mainLoop().runUntil([&] { return received.size() >= 3; }, 3s));
    EXPECT_EQ(received, "\xFFXY");

    const Bytes frame{0xFF, 0xC0, 0x00, 0xFF, 0x7F};
    link.SendData(frame.data(), static_cast<std::uint32_t>(frame.size()));
    const Bytes doubled{Iac, Iac, 0xC0, 0x00, Iac, Iac, 0x7F};
    const auto sent = [&] {
        const Bytes wire = server.wire();
        return std::search(wire.begin(), wire.end(), doubled.begin(), doubled.end()) != wire.end();
    };
    EXPECT_TRUE(mainLoop().runUntil(sent, 3s));
    const Bytes wire = server.wire();
    const Bytes echoRefused{Iac, Telnet::Dont, 1}, dtrRaised = TelnetCodec::comPortRequest(5, Bytes{ComPort::DtrOn});
    EXPECT_NE(std::search(wire.begin(), wire.end(), echoRefused.begin(), echoRefused.end()), wire.end());
    EXPECT_NE(std::search(wire.begin(), wire.end(), dtrRaised.begin(), dtrRaised.end()), wire.end());
}

} // namespace
