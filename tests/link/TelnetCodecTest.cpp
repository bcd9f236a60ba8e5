#include "link/TelnetCodec.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using State = TelnetCodec::ComPortState;
constexpr std::uint8_t Iac = Telnet::Iac, Will = Telnet::Will, Wont = Telnet::Wont, Do = Telnet::Do,
                       Dont = Telnet::Dont, Sb = Telnet::Sb, Se = Telnet::Se, Com = Telnet::ComPortOption;

struct Row {
    const char* why;
    Bytes wire; // from the server, after our offer of the COM-port option
    Bytes data;
    Bytes replies;
    State comPort = State::Asked;
    std::optional<Bytes> baudAnswer = std::nullopt;
    std::uint8_t modemState = 0;
};

const Row rows[] = {
    {"a doubled 0xFF is one data byte, the frame's leading byte too",
     {Iac, Iac, 0xC0, 0x00, 0x50, 0x7F},
     {0xFF, 0xC0, 0x00, 0x50, 0x7F},
     {}},
    {"binary and go-ahead suppression are agreed to, echo is refused (our frame would read as an answer)",
     {Iac, Will, 0, Iac, Will, 3, Iac, Will, 1},
     {},
     {Iac, Do, 0, Iac, Do, 3, Iac, Dont, 1}},
    {"what the server asks of us: binary yes, terminal type no",
     {Iac, Do, 0, Iac, Do, 24},
     {},
     {Iac, Will, 0, Iac, Wont, 24}},
    {"an option already agreed is not answered again, so the sides never loop",
     {Iac, Will, 0, Iac, Will, 0},
     {},
     {Iac, Do, 0}},
    {"a refusal of what was never on is not answered", {Iac, Wont, 1, Iac, Dont, 24}, {}, {}},
    {"the server's DO answers our offer and is not answered itself", {Iac, Do, Com}, {}, {}, State::Accepted},
    {"the server's DONT refuses the COM-port option", {Iac, Dont, Com}, {}, {}, State::Refused},
    {"two-byte commands never reach the data", {'X', Iac, 241, 'Y', Iac, 249, Iac, 246, 'Z'}, {'X', 'Y', 'Z'}, {}},
    {"another option's subnegotiation is dropped whole", {Iac, Sb, 24, 1, Iac, Se, 'X'}, {'X'}, {}},
    {"the answer to SET-BAUDRATE is kept, its 0xFF un-doubled",
     {Iac, Sb, Com, 101, 0x00, 0x00, Iac, Iac, Iac, Iac, Iac, Se, 'Y'},
     {'Y'},
     {},
     State::Asked,
     Bytes{0x00, 0x00, 0xFF, 0xFF}},
    {"the modem state the server notifies",
     {Iac, Sb, Com, 107, 0x30, Iac, Se},
     {},
     {},
     State::Asked,
     std::nullopt,
     0x30},
    {"a broken subnegotiation ends without touching the data after it",
     {Iac, Sb, Com, 101, 1, Iac, 'N', 'X'},
     {'X'},
     {}},
};

struct Decoded {
    Bytes data, replies;
    State comPort;
    std::optional<Bytes> baudAnswer;
    std::uint8_t modemState;
};

Decoded decode(const Bytes& wire, bool byteByByte) {
    TelnetCodec codec;
    codec.offerComPort();
    Decoded out;
    if (byteByByte)
        for (const std::uint8_t byte : wire)
            codec.decode(Bytes{byte}, out.data, out.replies);
    else
        codec.decode(wire, out.data, out.replies);
    out.comPort = codec.comPortState();
    out.baudAnswer = codec.answer(ComPort::SetBaudRate);
    out.modemState = codec.modemState();
    return out;
}

TEST(TelnetCodec, SplitsTheServersStreamIntoDataAndAnswers) {
    for (const Row& row : rows) {
        // However the stream is cut into reads, it means the same.
        for (const bool byteByByte : {false, true}) {
            const Decoded out = decode(row.wire, byteByByte);
            EXPECT_EQ(out.data, row.data) << row.why;
            EXPECT_EQ(out.replies, row.replies) << row.why;
            EXPECT_EQ(out.comPort, row.comPort) << row.why;
            EXPECT_EQ(out.baudAnswer, row.baudAnswer) << row.why;
            EXPECT_EQ(out.modemState, row.modemState) << row.why;
        }
    }
}

TEST(TelnetCodec, AnOverlongSubnegotiationCannotHoldTheStream) {
    Bytes wire(100007, 0x25);
    wire[0] = Iac, wire[1] = Sb, wire[2] = Com, wire[3] = 101;
    wire[100004] = Iac, wire[100005] = Se, wire[100006] = 'X';
    EXPECT_EQ(decode(wire, false).data, Bytes{'X'});
}

TEST(TelnetCodec, DoublesEvery0xFFOnTheWayOut) {
    Bytes wire;
    TelnetCodec::encodeData(Bytes{0xFF, 0xC0, 0x00, 0xFF, 0x7F}, wire);
    EXPECT_EQ(wire, (Bytes{Iac, Iac, 0xC0, 0x00, Iac, Iac, 0x7F}));
    EXPECT_EQ(TelnetCodec::comPortRequest(ComPort::SetBaudRate, Bytes{0x00, 0x00, 0xFF, 0x80}),
              (Bytes{Iac, Sb, Com, 1, 0x00, 0x00, Iac, Iac, 0x80, Iac, Se}));
}

} // namespace
