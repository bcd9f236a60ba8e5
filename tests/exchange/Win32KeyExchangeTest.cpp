#include "base/MainLoop.h"
#include "exchange/KeyExchange.h"
#include "exchange/KeyExchangePort.h"
#include "tests/support/RecordingPanel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The whole road of a press on Windows: the exchange, the serial link and its worker on the Win32
// main loop and device, to the COM port that win32-serial-device-test.sh mapped to a pseudo-terminal.
// Its far end plays the recorder with ID 1 and logs every byte it receives.
namespace {

using Bytes = std::vector<std::uint8_t>;
using D = LampDisplay;

std::string fromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

TEST(Win32KeyExchange, APressGoesOutAndTheAnswerOrSilenceLightsItsLamp) {
    const std::string port = fromEnvironment("LUMEVANTA_TEST_PORT");
    ASSERT_FALSE(port.empty()) << "run by win32-serial-device-test.sh, which maps the port";
    TSerialLink link;
    prepareForKeyExchange(link);
    link.setCommPort(port);
    std::uint8_t idByte = 0;
    RecordingPanel panel;
    KeyExchange exchange(
        link, idByte, [&] { return &panel; }, [](LinkEvent, const PortFailure&) {});
    exchange.OpenPort();
    ASSERT_TRUE(link.Active());

    struct Row {
        const char* why;
        std::uint8_t id;
        D lamp;
    } rows[] = {
        {"the recorder addressed answers X", 1, D::ShowOk},
        {"a frame for another recorder gets no answer", 2, D::ShowNoLine},
    };
    Bytes sent;
    for (const Row& row : rows) {
        panel.displays.clear();
        idByte = row.id;
        exchange.SendKey(0x2A);
        sent.insert(sent.end(), {0xFF, 0xC0, row.id, 0x2A, 0x7F});
        // Within the exchange's own 1.5 s reply time-out, with room for a loaded machine.
        const bool settled =
            mainLoop().runUntil([&] { return exchange.Tag() == KeyExchange::Ready && panel.displays.size() == 2; },
                                std::chrono::seconds(4));
        ASSERT_TRUE(settled) << row.why;
        EXPECT_EQ(panel.displays, (std::vector<D>{D::ShowSending, row.lamp})) << row.why;
    }
    exchange.ClosePort();

    std::ifstream log(fromEnvironment("LUMEVANTA_FAR_END_LOG"), std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(log), {}), sent) << "each press sent its frame, and nothing else";
}

} // namespace
