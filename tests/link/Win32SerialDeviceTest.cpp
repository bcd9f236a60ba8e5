#include "win32/Win32SerialDevice.h"
#include "link/PortFailure.h"
#include "link/PortName.h"

#include <gtest/gtest.h>

#include <optional>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const Bytes KeyFrame = {0xFF, 0xC0, 0x01, 0x2A, 0x7F};

// The COM port that win32-serial-device-test.sh mapped to a pseudo-terminal whose far end answers
// each key frame with 'X'.
std::string farEndPort() {
    const char* port = std::getenv("LUMEVANTA_TEST_PORT");
    return port ? port : "";
}

TEST(Win32PortName, NamesAreLookedUpAmongDevicesOnly) {
    struct Row {
        const char* what;
        std::string name;
        std::optional<std::string> device;
    };
    const Row rows[] = {
        {"COM1 to COM9 are known everywhere", "COM3", "COM3"},
        {"in any case", "com9", "com9"},
        {"two digits need the device prefix", "COM10", "\\\\.\\COM10"},
        {"COM0 is no short name", "COM0", "\\\\.\\COM0"},
        {"a device name stays as typed", "\\\\.\\COM4", "\\\\.\\COM4"},
        {"any other name is a device, never a file", "options.ini", "\\\\.\\options.ini"},
        {"an empty name is no device", "", std::nullopt},
        {"an overlong name is refused, never cut", "COM" + std::string(MaxPortNameLength, '1'), std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(devicePathForPort(row.name), row.device) << row.what;
}

TEST(Win32PortFault, ErrorCodesSayWhatTheUserCanDo) {
    struct Row {
        const char* what;
        DWORD error;
        PortFault fault;
    };
    const Row rows[] = {
        {"no such port", ERROR_FILE_NOT_FOUND, PortFault::NoDevice},
        {"a USB adapter pulled out", ERROR_BAD_COMMAND, PortFault::NoDevice},
        {"held by another program on Windows", ERROR_ACCESS_DENIED, PortFault::InUse},
        {"held by another program under wine", ERROR_SHARING_VIOLATION, PortFault::InUse},
        {"not a serial port", ERROR_INVALID_FUNCTION, PortFault::NotSerial},
        {"modem lines a pseudo-terminal lacks: the port is still there", ERROR_NOT_SUPPORTED, PortFault::Other},
    };
    for (const Row& row : rows)
        EXPECT_EQ(faultForError(static_cast<int>(row.error)), row.fault) << row.what;
}

TEST(Win32SerialDevice, MissingPortIsNoSuchDevice) {
    int error = 0;
    EXPECT_EQ(Win32SerialDevice::open("COM200", error), nullptr);
    EXPECT_EQ(faultForError(error), PortFault::NoDevice) << "error " << error;
}

// The device set up as the serial link opens a port, on the pseudo-terminal's COM port.
class Win32PtyPort : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(farEndPort().empty()) << "run by win32-serial-device-test.sh, which maps the port";
        int error = 0;
        device = Win32SerialDevice::open(farEndPort(), error);
        ASSERT_NE(device, nullptr) << "error " << error;
        ASSERT_TRUE(device->setBufferSizes(4096, 2048).ok());
        LineSettings line;
        ASSERT_TRUE(device->getLineSettings(line).ok());
        line.baudRate = 9600;
        line.flags = LineFlag::Binary;
        ASSERT_TRUE(device->setTimeouts({0xFFFFFFFF, 0, 0, 0, 0}).ok());
        ASSERT_TRUE(device->setLineSettings(line).ok());
        // A pseudo-terminal has no modem lines; the port stays usable all the same.
        device->setDtr(true);
        device->setRts(true);
        ASSERT_TRUE(device->setEventMask(CommEventBit::All).ok());
    }

    std::uint32_t queued() {
        LineStatus status;
        EXPECT_TRUE(device->readLineStatus(status).ok());
        return status.inQueue;
    }

    void send(const Bytes& bytes) {
        IoResult result = device->startWrite(bytes);
        const auto deadline = Clock::now() + 2s;
        while (result.state == IoState::Pending || result.state == IoState::Incomplete) {
            ASSERT_LT(Clock::now(), deadline) << "the write never ended";
            device->waitFor(false, false, 50ms);
            result = device->writeResult();
        }
        ASSERT_EQ(result.state, IoState::Done) << "error " << result.error;
        EXPECT_EQ(result.bytes, bytes.size());
    }

    // As the worker does: a line-event wait is pending while the bytes go out and come in.
    void watch() {
        if (waiting) return;
        const IoResult started = device->startEventWait();
        ASSERT_NE(started.state, IoState::Failed) << "error " << started.error;
        waiting = started.state == IoState::Pending;
    }

    void awaitQueued(std::uint32_t count) {
        const auto deadline = Clock::now() + 3s;
        while (queued() < count) {
            ASSERT_LT(Clock::now(), deadline) << "only " << queued() << " bytes came";
            watch();
            const WaitOutcome outcome = device->waitFor(false, waiting, 75ms);
            ASSERT_NE(outcome.kind, WaitOutcome::Failed) << "error " << outcome.error;
            if (outcome.kind == WaitOutcome::EventSignalled) waiting = false;
        }
    }

    Bytes receive(std::uint32_t count) {
        awaitQueued(count);
        IoResult result = device->startRead(queued());
        if (result.state == IoState::Pending) {
            EXPECT_EQ(device->waitFor(true, false, 1s).kind, WaitOutcome::ReadSignalled);
            result = device->readResult();
        }
        EXPECT_EQ(result.state, IoState::Done) << "error " << result.error;
        return result.data;
    }

    std::shared_ptr<SerialDevice> device;
    bool waiting = false;
};

TEST_F(Win32PtyPort, KeyFramesGoOutAndEachAnswerComesBack) {
    // Enough round trips that wine's line-event waits that end with nothing are met on the way.
    for (int frame = 0; frame < 30; ++frame) {
        watch();
        send(KeyFrame);
        ASSERT_EQ(receive(1), Bytes{'X'}) << "frame " << frame;
    }
}

TEST_F(Win32PtyPort, LineSettingsComeBackAsSet) {
    // A pseudo-terminal keeps neither byte size nor parity, so those stay as the recorder's line has them.
    struct Row {
        const char* what;
        std::uint32_t baudRate;
        std::uint8_t stopBits;
        std::uint32_t flags;
    };
    const Row rows[] = {
        {"the recorder's line", 9600, ONESTOPBIT, LineFlag::Binary},
        {"two stop bits, XON/XOFF both ways", 19200, TWOSTOPBITS,
         LineFlag::Binary | LineFlag::XonXoffOutput | LineFlag::XonXoffInput},
        {"a high speed", 115200, ONESTOPBIT, LineFlag::Binary},
    };
    for (const Row& row : rows) {
        LineSettings set;
        ASSERT_TRUE(device->getLineSettings(set).ok());
        set.baudRate = row.baudRate;
        set.stopBits = row.stopBits;
        set.flags = row.flags;
        ASSERT_TRUE(device->setLineSettings(set).ok()) << row.what;
        LineSettings read;
        ASSERT_TRUE(device->getLineSettings(read).ok());
        EXPECT_EQ(read.baudRate, set.baudRate) << row.what;
        EXPECT_EQ(read.stopBits, set.stopBits) << row.what;
        EXPECT_EQ(read.flags, set.flags) << row.what;
        EXPECT_EQ(read, set) << row.what;
    }
    LineSettings odd;
    ASSERT_TRUE(device->getLineSettings(odd).ok());
    odd.baudRate = 12345;
    EXPECT_EQ(device->setLineSettings(odd).fault, PortFault::BadSpeed) << "wine takes it and runs at 38400";
    LineSettings kept;
    ASSERT_TRUE(device->getLineSettings(kept).ok());
    EXPECT_EQ(kept.baudRate, 115200u) << "the line keeps the speed it had";

    CommTimeouts timeouts;
    ASSERT_TRUE(device->getTimeouts(timeouts).ok());
    EXPECT_EQ(timeouts.readInterval, 0xFFFFFFFF) << "as the link set them, whatever the port was given";
}

TEST_F(Win32PtyPort, PurgeEmptiesTheQueueAndAbortsAPendingRead) {
    send(KeyFrame);
    send(KeyFrame);
    awaitQueued(2);
    ASSERT_TRUE(device->purge(PurgeBit::All).ok());
    EXPECT_EQ(queued(), 0u);
    // With the link's time-outs a read of the empty queue ends with nothing, as on Windows.
    IoResult nothing = device->startRead(1);
    if (nothing.state == IoState::Pending) {
        ASSERT_EQ(device->waitFor(true, false, 1s).kind, WaitOutcome::ReadSignalled) << "the read never ends";
        nothing = device->readResult();
    }
    EXPECT_EQ(nothing.state, IoState::Done) << "error " << nothing.error;
    EXPECT_EQ(nothing.data, Bytes{});

    ASSERT_TRUE(device->setTimeouts({0, 0, 10000, 0, 0}).ok()); // a read that waits for its byte
    ASSERT_EQ(device->startRead(1).state, IoState::Pending);
    ASSERT_TRUE(device->purge(PurgeBit::All).ok());
    ASSERT_EQ(device->waitFor(true, false, 2s).kind, WaitOutcome::ReadSignalled);
    EXPECT_EQ(device->readResult().state, IoState::Aborted);
}

TEST_F(Win32PtyPort, ClosingEndsAPendingReadAndLetsThePortGo) {
    ASSERT_TRUE(device->setTimeouts({0, 0, 10000, 0, 0}).ok());
    ASSERT_EQ(device->startRead(1).state, IoState::Pending);
    const auto closing = Clock::now();
    ASSERT_TRUE(device->close().ok());
    EXPECT_LT(Clock::now() - closing, 1s) << "a pending read holds up the close";
    EXPECT_EQ(device->readResult().state, IoState::Aborted);
    EXPECT_EQ(device->startWrite(KeyFrame).state, IoState::Failed) << "nothing is sent once closed";

    int error = 0;
    EXPECT_NE(Win32SerialDevice::open(farEndPort(), error), nullptr) << "error " << error;
}

} // namespace
