#include "exchange/KeyFrame.h"
#include "link/SerialLink.h"
#include "posix/CustomBaudRate.h"
#include "posix/PosixSerialDevice.h"
#include "tests/link/FakePort.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A link on the slave side of a real pseudo-terminal, with the program's own stored settings.
class PtyLink : public ::testing::Test {
protected:
    void SetUp() override {
        link.setRTOCharDelayTime(0);
        link.setRTOExtraDelayTime(0);
        link.setWTOCharDelayTime(0);
        link.setWTOExtraDelayTime(0);
        link.setOnProcessError(
            [this](TSerialLink&, std::uint32_t place, std::uint32_t code, const std::string& msg, std::uint8_t noise) {
                reports.push_back({place, code, msg, noise});
            });
        link.setHandler(TSerialLink::OnRxClusterEvent,
                        [this](TSerialLink& l) { clusters.push_back(l.TakeNextCluster()); });
        link.setCommPort(pty.slavePath());
    }
    bool reported(std::uint32_t place) const {
        return std::any_of(reports.begin(), reports.end(), [&](const ReportRecord& r) { return r.place == place; });
    }
    void sendFrame(std::uint8_t id, std::uint8_t key) {
        for (std::uint8_t byte : KeyFrame::make(id, key)) {
            link.SendData(&byte, 1);
            pumpUntil([&] { return !link.SendInProgress(); }, 500);
        }
    }

    PtyPair pty;
    TSerialLink link;
    std::vector<ReportRecord> reports;
    std::vector<std::string> clusters;
};

TEST_F(PtyLink, KeyFrameBytesGoOutInOrderOneWriteEach) {
    int writes = 0;
    link.setHandler(TSerialLink::OnWriteDone, [&](TSerialLink&) { ++writes; });
    link.setActive(true);
    ASSERT_TRUE(link.Active());
    sendFrame(3, 0x31);
    EXPECT_EQ(pty.read(5), (Bytes{0xFF, 0xC0, 0x03, 0x31, 0x7F}));
    EXPECT_EQ(writes, 5);
}

TEST_F(PtyLink, TwoBurstsArriveAsTwoClustersOldestFirst) {
    link.setActive(true);
    pty.write({'X'});
    ASSERT_TRUE(pumpUntil([&] { return clusters.size() == 1; }));
    pty.write({'Y', 'Z'});
    ASSERT_TRUE(pumpUntil([&] { return clusters.size() == 2; }));
    EXPECT_EQ(clusters, (std::vector<std::string>{"X", "YZ"}));
    EXPECT_EQ(link.TakeNextCluster(), "");
}

TEST_F(PtyLink, ModemLinesAreMissingYetNothingStops) {
    link.setActive(true);
    EXPECT_TRUE(reported(601)) << "a pseudo-terminal has no DTR";
    EXPECT_TRUE(reported(501));
    ASSERT_TRUE(pumpUntil([&] { return reported(9905); })) << "nor modem status";
    pty.write({'X'});
    ASSERT_TRUE(pumpUntil([&] { return clusters.size() == 1; }));
    sendFrame(0, 1);
    EXPECT_EQ(pty.read(5).size(), 5u);
}

TEST_F(PtyLink, LineSpeedIsVisibleOnTheFarEnd) {
    link.setActive(true);
    termios t{};
    ASSERT_EQ(tcgetattr(pty.master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & PARENB);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
    link.setBaudRate(115200);
    ASSERT_EQ(tcgetattr(pty.master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B115200);
    EXPECT_FALSE(reported(802));
}

TEST_F(PtyLink, ASpeedWithoutATermiosConstantIsSetToo) {
    link.setActive(true);
    for (std::uint32_t speed : {14400u, 56000u, 9600u}) {
        link.setBaudRate(speed);
        EXPECT_FALSE(reported(802)) << speed;
        std::uint32_t onTheLine = 0;
        ASSERT_EQ(readBaudRate(pty.master(), onTheLine), 0);
        EXPECT_EQ(onTheLine, speed) << "the far end sees the speed that was asked for";
    }
}

TEST_F(PtyLink, ASecondOpenOfTheSamePortFails) {
    link.setActive(true);
    TSerialLink second;
    std::vector<std::uint32_t> places;
    second.setOnProcessError([&](TSerialLink&, std::uint32_t place, std::uint32_t, const std::string&, std::uint8_t) {
        places.push_back(place);
    });
    second.setCommPort(pty.slavePath());
    second.setActive(true);
    EXPECT_FALSE(second.Active());
    EXPECT_EQ(places, (std::vector<std::uint32_t>{110, 112}));
    link.setActive(false);
    second.setActive(true);
    EXPECT_TRUE(second.Active()) << "free again once closed";
}

TEST_F(PtyLink, CloseAndReopenKeepsWorking) {
    // As in the program, no error handler: nothing holds the worker up when the port closes.
    link.setOnProcessError(nullptr);
    for (int round = 0; round < 3; ++round) {
        link.setActive(true);
        ASSERT_TRUE(link.Active());
        pty.write({static_cast<std::uint8_t>('a' + round)});
        ASSERT_TRUE(pumpUntil([&] { return clusters.size() == static_cast<std::size_t>(round + 1); }));
        sendFrame(1, static_cast<std::uint8_t>(round));
        EXPECT_EQ(pty.read(5).size(), 5u);
        QElapsedTimer clock;
        clock.start();
        link.setActive(false);
        EXPECT_LT(clock.elapsed(), 500) << "closing did not have to wait out the worker";
        EXPECT_EQ(link.ComHandle(), TSerialLink::ClosedHandle);
    }
    EXPECT_EQ(clusters, (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(PtyLink, ANewPortNameMovesAnOpenLinkToThatPort) {
    PtyPair other;
    link.setActive(true);
    link.setCommPort(other.slavePath());
    ASSERT_TRUE(link.Active());
    sendFrame(2, 2);
    EXPECT_EQ(other.read(5).size(), 5u);
    EXPECT_TRUE(pty.read(1, std::chrono::milliseconds(100)).empty());
    other.write({'Q'});
    ASSERT_TRUE(pumpUntil([&] { return clusters.size() == 1; }));
}

TEST_F(PtyLink, AHungUpFarEndClosesThePortOnceAndFallsSilent) {
    int lost = 0;
    link.setHandler(TSerialLink::OnDeviceLost, [&](TSerialLink&) { ++lost; });
    link.setActive(true);
    ASSERT_TRUE(pumpUntil([&] { return reported(9905); }));
    pty.closeMaster();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(pumpUntil([&] { return lost == 1; }, 1000));
    EXPECT_LT(clock.elapsed(), 1000) << "closing did not wait out a worker that is handing on a report";
    EXPECT_FALSE(link.Active());
    EXPECT_EQ(link.ComHandle(), TSerialLink::ClosedHandle);
    EXPECT_EQ(link.LastFailure().fault, PortFault::NoDevice);
    EXPECT_EQ(link.LastFailure().devicePath, pty.slavePath());
    QTest::qWait(300); // reports already on their way from the worker
    reports.clear();
    QTest::qWait(500);
    EXPECT_TRUE(reports.empty()) << "nothing works the dead port any more";
    EXPECT_EQ(lost, 1);
}

TEST_F(PtyLink, DestructionWithClustersQueued) {
    auto owned = std::make_unique<TSerialLink>();
    owned->setRTOCharDelayTime(0);
    owned->setRTOExtraDelayTime(0);
    owned->setCommPort(pty.slavePath());
    owned->setThreadQuietMode(true);
    owned->setActive(true);
    pty.write({'1'});
    ASSERT_TRUE(pumpUntil([&] { return owned->QueuedClusters() == 1; }));
    pty.write({'2'});
    ASSERT_TRUE(pumpUntil([&] { return owned->QueuedClusters() == 2; })) << "a quiet link only queues";
    // The sanitizers check that the queued clusters go with the link.
    owned.reset();
    EXPECT_TRUE(pty.read(1, std::chrono::milliseconds(20)).empty()) << "destruction wrote nothing on the line";
}

TEST(PosixSerialDevice, AClosedDeviceKeepsItsDescriptorUntilTheLastOwnerLetsGo) {
    PtyPair pty;
    int error = 0;
    auto device = PosixSerialDevice::open(pty.slavePath(), error);
    ASSERT_NE(device, nullptr) << error;
    const int fd = static_cast<int>(device->handle());
    ASSERT_TRUE(device->close().ok());
    EXPECT_NE(fcntl(fd, F_GETFD), -1) << "still ours: nobody else can be handed this number yet";
    LineStatus status;
    EXPECT_EQ(device->readLineStatus(status).error, EBADF);
    EXPECT_EQ(device->startWrite(Bytes{1}).state, IoState::Failed);
    EXPECT_TRUE(pty.read(1, std::chrono::milliseconds(50)).empty()) << "a closed device writes nothing";

    auto reopened = PosixSerialDevice::open(pty.slavePath(), error);
    EXPECT_NE(reopened, nullptr) << "closing released the port itself";
    device.reset();
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
}

} // namespace
