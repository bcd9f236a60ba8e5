#include "tests/link/FakePort.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <cerrno>

namespace {

using Call = FakeSerialDevice::Call;
using Bytes = std::vector<std::uint8_t>;

// The program's own stored delays: received bytes are read as soon as the tick counter moves.
void useProgramDelays(TSerialLink& link) {
    link.setRTOCharDelayTime(0);
    link.setRTOExtraDelayTime(0);
}

TEST(WorkThreadClusters, TwoBurstsGiveTwoClustersOldestFirstOnTheGuiThread) {
    FakePort port;
    useProgramDelays(*port.link);
    int notified = 0;
    bool onGuiThread = true;
    port.link->setHandler(TSerialLink::OnRxClusterEvent, [&](TSerialLink&) {
        ++notified;
        onGuiThread = onGuiThread && QThread::currentThread() == qApp->thread();
    });
    port.link->setActive(true);
    port.device->receive({'A', 'B'});
    ASSERT_TRUE(pumpUntil([&] { return notified == 1; }));
    port.device->receive({'C'});
    ASSERT_TRUE(pumpUntil([&] { return notified == 2; }));
    EXPECT_TRUE(onGuiThread);
    EXPECT_EQ(port.link->TakeNextCluster(), "AB");
    EXPECT_EQ(port.link->TakeNextCluster(), "C");
    EXPECT_EQ(port.link->TakeNextCluster(), "");
}

TEST(WorkThreadClusters, QuietModeQueuesWithoutNotifyingOrReporting) {
    FakePort port;
    useProgramDelays(*port.link);
    int notified = 0;
    port.link->setHandler(TSerialLink::OnRxClusterEvent, [&](TSerialLink&) { ++notified; });
    port.link->setThreadQuietMode(true);
    port.device->failCall(Call::Modem, EPROTO);
    port.link->setActive(true);
    port.reports.clear();
    port.device->receive({'X'});
    ASSERT_TRUE(
        pumpUntil([&] { return port.link->CommStateInQueue() == 0 && port.device->calls(Call::StartRead) > 0; }));
    QTest::qWait(100);
    EXPECT_EQ(notified, 0);
    EXPECT_TRUE(port.reports.empty());
    EXPECT_EQ(port.link->TakeNextCluster(), "X");
}

// The read rules, with the tick counter frozen so that only the rule under test can fire.
class ReadRules : public ::testing::Test {
protected:
    void SetUp() override {
        port.link->setHandler(TSerialLink::OnRxClusterEvent,
                              [this](TSerialLink& link) { clusters.push_back(link.TakeNextCluster()); });
        port.link->setActive(true);
        // Let the worker see the empty queue, which sets its reference tick.
        ASSERT_TRUE(pumpUntil([&] { return port.device->calls(Call::LineStatus) >= 2; }));
    }
    bool nothingReadFor(int ms) {
        QTest::qWait(ms);
        return clusters.empty();
    }

    FakePort port{true};
    std::vector<std::string> clusters;
};

TEST_F(ReadRules, ABurstWaitsForItsTransferTimePlusTheExtraDelay) {
    port.device->receive({1, 2, 3});
    port.tick = 1000 + 253; // 3 x 1100 us + 250 ms = 253.3 ms: not yet
    EXPECT_TRUE(nothingReadFor(150));
    port.tick = 1000 + 254;
    ASSERT_TRUE(pumpUntil([&] { return clusters.size() == 1; }));
    EXPECT_EQ(clusters[0], std::string("\x01\x02\x03"));
}

TEST_F(ReadRules, ALineErrorReadsAtOnce) {
    // The error is seen by the poll that ends the event wait, one poll before the read is tried.
    port.device->receive({'Z'}, LineErrorBit::Parity);
    ASSERT_TRUE(pumpUntil([&] { return clusters.size() == 1; }));
    EXPECT_EQ(clusters[0], "Z");
}

TEST_F(ReadRules, AFullClusterIsReadAtOnceAndWhole) {
    port.link->setClusterSize(4);
    port.device->receive(Bytes(10, 'q'));
    ASSERT_TRUE(pumpUntil([&] { return clusters.size() == 1; }));
    EXPECT_EQ(clusters[0], std::string(10, 'q'));
}

TEST_F(ReadRules, AReadRequestReadsWhateverIsQueued) {
    port.device->receive({'r'});
    EXPECT_TRUE(nothingReadFor(100));
    port.link->setReadRequest(true);
    ASSERT_TRUE(pumpUntil([&] { return clusters.size() == 1; }));
    EXPECT_FALSE(port.link->ReadRequest());
}

TEST(WorkThreadLineEvents, ModemChangesUpdateTheStatusAndRaiseTheirEvents) {
    FakePort port;
    std::vector<TSerialLink::Event> events;
    for (auto e : {TSerialLink::OnRIEvent, TSerialLink::OnCommStat, TSerialLink::OnBreakEvent, TSerialLink::OnCTSEvent,
                   TSerialLink::OnCommEvent})
        port.link->setHandler(e, [&events, e](TSerialLink&) { events.push_back(e); });
    port.link->setActive(true);
    port.device->setModemLines(ModemBit::Cts | ModemBit::Ring);
    ASSERT_TRUE(pumpUntil([&] { return port.link->RingState(); }));
    EXPECT_TRUE(port.link->CTSState());
    EXPECT_FALSE(port.link->DSRState());
    EXPECT_EQ(port.link->ModemState(), ModemBit::Cts | ModemBit::Ring);
    ASSERT_TRUE(pumpUntil([&] { return !events.empty(); }));
    EXPECT_EQ(events, std::vector<TSerialLink::Event>{TSerialLink::OnRIEvent}) << "one ring change, one event";

    events.clear();
    port.device->raiseEvents(CommEventBit::Cts | CommEventBit::Break);
    ASSERT_TRUE(pumpUntil([&] { return events.size() == 3; }));
    EXPECT_EQ(events, (std::vector<TSerialLink::Event>{TSerialLink::OnBreakEvent, TSerialLink::OnCTSEvent,
                                                       TSerialLink::OnCommEvent}));
    EXPECT_EQ(port.link->CommEvent(), CommEventBit::Cts | CommEventBit::Break);
}

TEST(WorkThreadLineEvents, QueueChangesRaiseCommStat) {
    FakePort port;
    std::vector<std::uint32_t> errors;
    port.link->setHandler(TSerialLink::OnCommStat, [&](TSerialLink& link) { errors.push_back(link.CommError()); });
    port.link->setActive(true);
    port.device->receive({'a'}, LineErrorBit::Framing);
    ASSERT_TRUE(pumpUntil([&] { return errors.size() >= 2; }));
    EXPECT_EQ(errors[0], LineErrorBit::Framing);
    EXPECT_EQ(errors[1], 0u) << "reading the line status clears its errors";
}

TEST(WorkThreadFailures, AFailingDeviceIsReportedAtABoundedRate) {
    FakePort port;
    port.link->setActive(true);
    port.reports.clear();
    port.device->failEverything(EPROTO);
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(1000);
    const double seconds = clock.elapsed() / 1000.0;
    const int modemReports = port.count(9905);
    EXPECT_GE(modemReports, 3) << "a failing device keeps being reported";
    EXPECT_LE(modemReports, 15 * seconds) << "no faster than one pass per 75 ms";
    EXPECT_LE(port.device->calls(Call::WaitFor), 20 * seconds);
    EXPECT_GE(port.count(9803), 3);
    EXPECT_GE(port.count(9907), 3);
}

TEST(WorkThreadFailures, FailedWaitsAreReportedWithoutSpinning) {
    FakePort port;
    port.link->setActive(true);
    port.device->failCall(Call::WaitFor, EPROTO);
    QTest::qWait(500);
    EXPECT_GE(port.count(9913), 2);
    EXPECT_LE(port.count(9913), 10);
    EXPECT_TRUE(port.reported({9913, EPROTO, "Error getting Overlappedresult", 0}));
}

TEST(WorkThreadFailures, AReadThatCannotStartIsReported) {
    FakePort port;
    useProgramDelays(*port.link);
    port.link->setActive(true);
    port.device->failCall(Call::StartRead, EPROTO);
    port.device->receive({1});
    ASSERT_TRUE(pumpUntil([&] { return port.count(9804) > 0; }));
    EXPECT_TRUE(port.reported({9804, EPROTO, "Error reading Data", 0}));
}

TEST(WorkThreadClosing, ClosingAnIdleLoopIsQuick) {
    FakePort port;
    port.link->setActive(true);
    QTest::qWait(50);
    QElapsedTimer clock;
    clock.start();
    port.link->setActive(false);
    EXPECT_LT(clock.elapsed(), 500) << "the ended event wait lets the worker go idle within a pass";
    EXPECT_EQ(port.count(104), 0);
}

// A read left pending when the port closes is finished as aborted; its report has to wait for the
// GUI thread, which is in closing's bounded wait.
TEST(WorkThreadClosing, APendingReadKeepsTheWorkerBusyUntilItsReportRuns) {
    FakePort port;
    useProgramDelays(*port.link);
    port.device->setReadsPend(true);
    port.link->setActive(true);
    port.device->receive({1});
    ASSERT_TRUE(pumpUntil([&] { return port.device->calls(Call::StartRead) > 0; }));
    // Back in its wait: nothing it had to hand over before the close is still on its way (that
    // would be dropped, and the worker let go at once), so what it reports comes of the close.
    const int waits = port.device->calls(Call::WaitFor);
    ASSERT_TRUE(pumpUntil([&] { return port.device->calls(Call::WaitFor) > waits; }));
    std::weak_ptr<FakeSerialDevice> device = port.device;
    port.device.reset();

    QElapsedTimer clock;
    clock.start();
    port.link->setActive(false);
    EXPECT_GE(clock.elapsed(), 1000) << "15 x 75 ms";
    EXPECT_TRUE(port.reported({104, 0, "Warning ThreadIsRunning", 1}));
    EXPECT_FALSE(port.reported({9907, ECANCELED, "Error read aborted", 0})) << "not before the GUI thread is free";
    ASSERT_FALSE(device.expired()) << "the worker still holds the port it was using";
    EXPECT_TRUE(device.lock()->closed());

    ASSERT_TRUE(pumpUntil([&] { return port.reported({9907, ECANCELED, "Error read aborted", 0}); }));
    ASSERT_TRUE(pumpUntil([&] { return device.expired(); })) << "let go once the worker is idle";
}

TEST(WorkThreadClosing, QuietModeLetsAPendingReadFinishWithoutWaiting) {
    FakePort port;
    useProgramDelays(*port.link);
    port.device->setReadsPend(true);
    port.link->setThreadQuietMode(true);
    port.link->setActive(true);
    port.device->receive({1});
    ASSERT_TRUE(pumpUntil([&] { return port.device->calls(Call::StartRead) > 0; }));
    QElapsedTimer clock;
    clock.start();
    port.link->setActive(false);
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_EQ(port.count(104), 0);
}

TEST(WorkThreadClosing, ReopeningAfterCloseWorksTheNewPort) {
    FakePort port;
    useProgramDelays(*port.link);
    int notified = 0;
    port.link->setHandler(TSerialLink::OnRxClusterEvent, [&](TSerialLink&) { ++notified; });
    port.link->setActive(true);
    port.link->setActive(false);
    auto second = std::make_shared<FakeSerialDevice>();
    port.device = second;
    port.link->setActive(true);
    second->receive({'n'});
    ASSERT_TRUE(pumpUntil([&] { return notified == 1; }));
    EXPECT_EQ(port.link->TakeNextCluster(), "n");
}

TEST(SerialLinkDestruction, QueuedClustersAreReleasedAndNothingIsRaised) {
    auto port = std::make_unique<FakePort>();
    useProgramDelays(*port->link);
    int notified = 0;
    port->link->setHandler(TSerialLink::OnRxClusterEvent, [&](TSerialLink&) { ++notified; });
    port->link->setActive(true);
    port->device->receive({1, 2});
    ASSERT_TRUE(pumpUntil([&] { return notified == 1; }));
    port->device->receive({3});
    // This thread does not pump, so the worker ends up blocked handing the second cluster over.
    QElapsedTimer queued;
    queued.start();
    while (port->link->QueuedClusters() < 2 && queued.elapsed() < 2000)
        QThread::msleep(1);
    ASSERT_EQ(port->link->QueuedClusters(), 2u);
    const int before = notified;
    const std::size_t reportsBefore = port->reports.size();
    QElapsedTimer clock;
    clock.start();
    port->link.reset();
    EXPECT_LT(clock.elapsed(), 2000) << "destruction must not wait on a worker that waits on it";
    QCoreApplication::processEvents();
    EXPECT_EQ(notified, before);
    EXPECT_EQ(port->reports.size(), reportsBefore);
}

} // namespace

namespace {

// A device that goes away (unplugged, hung up) is closed at once, said once, and never called again.
TEST(WorkThreadLoss, AGoneDeviceClosesThePortOnceWhicheverCallFindsIt) {
    struct Row {
        const char* why;
        Call failing;
        int error;
    } rows[] = {
        {"the wait sees a hang-up", Call::WaitFor, EIO},
        {"the line status", Call::LineStatus, ENXIO},
        {"the modem lines", Call::Modem, ENODEV},
        {"a read of received bytes", Call::StartRead, EIO},
    };
    for (const auto& row : rows) {
        FakePort port;
        useProgramDelays(*port.link);
        int lost = 0;
        port.link->setHandler(TSerialLink::OnDeviceLost, [&](TSerialLink&) { ++lost; });
        port.link->setActive(true);
        port.device->failCall(row.failing, row.error);
        port.device->receive({1});
        ASSERT_TRUE(pumpUntil([&] { return lost == 1; })) << row.why;
        EXPECT_FALSE(port.link->Active()) << row.why;
        EXPECT_TRUE(port.device->closed()) << row.why;
        EXPECT_EQ(port.link->LastFailure().fault, PortFault::NoDevice) << row.why;
        EXPECT_EQ(port.link->LastFailure().error, row.error) << row.why;
        // The worker's pass that found the loss may still make the call it was about to; counted
        // from after that, a dead device gets none.
        QTest::qWait(50);
        const int waits = port.device->calls(Call::WaitFor);
        const int polls = port.device->calls(Call::LineStatus);
        QTest::qWait(300);
        EXPECT_EQ(port.device->calls(Call::WaitFor), waits) << row.why << ": no more calls on a dead device";
        EXPECT_EQ(port.device->calls(Call::LineStatus), polls) << row.why;
        EXPECT_EQ(lost, 1) << row.why;
    }
}

TEST(WorkThreadLoss, AWriteThatFindsTheDeviceGoneClosesThePort) {
    FakePort port;
    int lost = 0;
    port.link->setHandler(TSerialLink::OnDeviceLost, [&](TSerialLink&) { ++lost; });
    port.link->setActive(true);
    port.device->failCall(Call::StartWrite, EIO);
    const std::uint8_t byte = 1;
    port.link->SendData(&byte, 1);
    port.link->SendData(&byte, 1);
    ASSERT_TRUE(pumpUntil([&] { return !port.link->Active(); }));
    QTest::qWait(50);
    EXPECT_EQ(lost, 1) << "two failed writes, one loss";
}

TEST(WorkThreadLoss, FailuresOfADeviceThatIsStillThereKeepThePortOpen) {
    FakePort port;
    int lost = 0;
    port.link->setHandler(TSerialLink::OnDeviceLost, [&](TSerialLink&) { ++lost; });
    port.link->setActive(true);
    port.device->failCall(Call::Modem, ENOTTY); // a pseudo-terminal has no modem lines
    port.device->failCall(Call::WaitFor, EPROTO);
    QTest::qWait(300);
    EXPECT_TRUE(port.link->Active());
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(port.link->LastFailure(), PortFailure{});
}

} // namespace
