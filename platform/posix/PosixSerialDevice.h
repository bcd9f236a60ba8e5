#pragma once

#include "link/SerialDevice.h"
#include "posix/UniqueFd.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <termios.h>

// A serial port (or pseudo-terminal) through POSIX termios, non-blocking I/O and poll.
// Reads and writes that cannot finish at once are finished by later calls; line events are found
// by comparing the queue counts, modem lines and error counters with those seen when the wait began.
class PosixSerialDevice final : public SerialDevice {
    struct OpenedPort {
        UniqueFd fd, wakeRead, wakeWrite;
        termios original;
    };

public:
    static std::shared_ptr<SerialDevice> open(const std::string& portName, int& error);
    explicit PosixSerialDevice(OpenedPort port);
    ~PosixSerialDevice() override;

    std::uint32_t handle() const override { return static_cast<std::uint32_t>(fd_.get()); }

    DeviceStatus setBufferSizes(std::uint32_t input, std::uint32_t output) override;
    DeviceStatus getLineSettings(LineSettings& settings) override;
    DeviceStatus setLineSettings(const LineSettings& settings) override;
    DeviceStatus getTimeouts(CommTimeouts& timeouts) override;
    DeviceStatus setTimeouts(const CommTimeouts& timeouts) override;

    DeviceStatus setRts(bool raised) override;
    DeviceStatus setDtr(bool raised) override;
    DeviceStatus setBreak(bool on) override;
    DeviceStatus readModemStatus(std::uint32_t& modemBits) override;
    DeviceStatus readLineStatus(LineStatus& status) override;

    DeviceStatus setEventMask(std::uint32_t mask) override;
    IoResult startEventWait() override;
    DeviceStatus signalEventWait() override;

    IoResult startRead(std::uint32_t count) override;
    IoResult readResult() override;
    DeviceStatus signalRead() override;

    IoResult startWrite(std::span<const std::uint8_t> bytes) override;
    IoResult writeResult() override;
    DeviceStatus resetWrite() override;

    DeviceStatus purge(std::uint32_t what) override;
    WaitOutcome waitFor(bool readPending, bool eventWaitPending, std::chrono::milliseconds timeout) override;
    DeviceStatus close() override;

private:
    using Clock = std::chrono::steady_clock;

    // Cumulative line-error counters, where the driver keeps them.
    struct ErrorCounters {
        int frame = 0, overrun = 0, parity = 0, brk = 0, bufferOverrun = 0;
    };

    struct EventWait {
        bool pending = false;
        bool ended = false;
        bool signalled = false;
        std::uint32_t inQueue = 0;
        std::uint64_t readTotal = 0;
        std::uint64_t writeTotal = 0;
        std::uint32_t outQueue = 0;
        std::optional<std::uint32_t> modem;
        std::optional<ErrorCounters> counters;
    };

    struct PendingRead {
        bool pending = false;
        bool aborted = false;
        bool signalled = false;
        std::uint32_t count = 0;
    };

    struct PendingWrite {
        bool pending = false;
        bool aborted = false;
        std::vector<std::uint8_t> bytes;
        std::size_t written = 0;
        std::optional<Clock::time_point> deadline;
    };

    DeviceStatus modemControl(unsigned long request, int bits);
    std::optional<ErrorCounters> readCounters() const;
    std::optional<std::uint32_t> readModem() const;
    std::uint32_t inQueueNow() const;
    std::uint32_t outQueueNow() const;
    std::uint32_t occurredEvents();
    IoResult readNow(std::uint32_t count);
    IoResult continueWrite();
    void wake();
    void drainWake();
    void sleepUntil(Clock::time_point deadline);

    UniqueFd fd_;
    UniqueFd wakeRead_;
    UniqueFd wakeWrite_;
    termios original_;
    std::atomic<bool> closed_{false};

    std::mutex mutex_;
    LineSettings settings_;
    CommTimeouts timeouts_;
    std::uint32_t eventMask_ = 0;
    std::uint64_t readTotal_ = 0;
    std::uint64_t writeTotal_ = 0;
    std::optional<ErrorCounters> statusCounters_;
    EventWait eventWait_;
    PendingRead read_;
    PendingWrite write_;
};
