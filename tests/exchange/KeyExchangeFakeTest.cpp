#include "exchange/KeyExchange.h"
#include "exchange/KeyExchangePort.h"
#include "tests/link/FakePort.h"
#include "tests/support/RecordingPanel.h"

#include <gtest/gtest.h>

#include <chrono>

// The exchange over a fake device, with nothing of a platform but its main loop: these run on
// every platform the exchange is built for.
namespace {

using D = LampDisplay;
using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class FakeExchange : public ::testing::Test {
protected:
    void SetUp() override {
        prepareForKeyExchange(*fake.link);
        fake.link->setActive(true);
    }

    FakePort fake;
    std::uint8_t id = 7;
    RecordingPanel panel;
    KeyExchange exchange{*fake.link, id, [this] { return &panel; }, [](LinkEvent, const PortFailure&) {}};
};

TEST_F(FakeExchange, AnAnswerEndsTheExchangeAndAPressMeanwhileIsDropped) {
    exchange.SendKey(0x31);
    EXPECT_EQ(fake.device->written(), (std::vector<std::uint8_t>{0xFF, 0xC0, 7, 0x31, 0x7F}));
    exchange.SendKey(0x32);
    EXPECT_EQ(fake.device->written().size(), 5u) << "a press during the exchange sends nothing";
    fake.device->receive({'Y'});
    ASSERT_TRUE(pumpUntil([&] { return exchange.Tag() == KeyExchange::Ready; }));
    EXPECT_EQ(panel.displays, (std::vector<D>{D::ShowSending, D::ShowBusy}));
}

TEST_F(FakeExchange, SilenceEndsInNoLine) {
    exchange.port_timeout_tmr.setInterval(200); // the rule, not the length, is under test
    const auto start = Clock::now();
    exchange.SendKey(1);
    ASSERT_TRUE(pumpUntil([&] { return exchange.Tag() == KeyExchange::Ready; }));
    EXPECT_GE(msSince(start), 180);
    EXPECT_EQ(panel.displays, (std::vector<D>{D::ShowSending, D::ShowNoLine}));
}

TEST_F(FakeExchange, AStalledWriteShowsNoLineAndEndsTheExchange) {
    fake.device->setWritesPend(true);
    const auto start = Clock::now();
    exchange.SendKey(1);
    EXPECT_LT(msSince(start), 100) << "nothing waits for the write";
    ASSERT_TRUE(pumpUntil([&] { return exchange.Tag() == KeyExchange::Ready; }, 4000));
    EXPECT_GE(msSince(start), 450);
    EXPECT_EQ(panel.displays, (std::vector<D>{D::ShowSending, D::ShowNoLine}));
    EXPECT_EQ(fake.device->calls(FakeSerialDevice::Call::StartWrite), 1) << "the rest of the frame was not tried";
}

TEST(FakeExchangeWithoutPanel, NoActivePanelMeansNoLamps) {
    FakePort fake;
    fake.link->setActive(true);
    std::uint8_t id = 0;
    KeyExchange exchange(
        *fake.link, id, [] { return nullptr; }, [](LinkEvent, const PortFailure&) {});
    exchange.SendKey(1);
    EXPECT_EQ(fake.device->written().size(), 5u);
}

} // namespace
