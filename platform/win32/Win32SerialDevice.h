#pragma once

#include "link/SerialDevice.h"
#include "win32/UniqueHandle.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <vector>

// A COM port through the Win32 communications calls and overlapped I/O. The read, the write and the
// line-event wait each have an operation record with a manual-reset event of their own; one more,
// auto-reset, event cuts a bounded wait short (a close, a new write, a signalled wait).
class Win32SerialDevice final : public SerialDevice {
    struct OpenedPort {
        UniqueHandle port, readEvent, writeEvent, waitEvent, wake;
    };

public:
    static std::shared_ptr<SerialDevice> open(const std::string& portName, int& error);
    explicit Win32SerialDevice(OpenedPort port);
    ~Win32SerialDevice() override;

    std::uint32_t handle() const override { return handleValue_; }

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

    // One asynchronous operation. Its record and buffer belong to the system while it is in flight.
    struct Operation {
        explicit Operation(UniqueHandle e) : event(std::move(e)) {}
        UniqueHandle event;
        OVERLAPPED overlapped{};
        bool inFlight = false;
        bool abortedByClose = false;
        std::vector<std::uint8_t> buffer;
        std::optional<IoResult> result; // a write the wait has already seen end
    };

    DeviceStatus escape(DWORD function);
    void prepare(Operation& op);
    void cancelAndFinish(Operation& op);
    IoResult collect(Operation& op);
    IoResult armEventWait();
    std::optional<WaitOutcome> eventWaitEnded();
    bool waitCanEnd(std::uint32_t mask) const;
    std::uint32_t inQueueNow();

    UniqueHandle port_;
    const std::uint32_t handleValue_;
    UniqueHandle wake_;
    std::atomic<bool> closed_{false};

    // Every call that uses the port holds this shared; close() holds it alone while it lets the
    // system finish what is in flight and closes the handle.
    std::shared_mutex portUse_;

    // Guards the state below: the worker reads and waits while the GUI thread writes and purges.
    std::mutex mutex_;
    Operation read_;
    Operation write_;
    Operation eventWait_;
    DWORD occurredEvents_ = 0;
    std::uint32_t unreadErrors_ = 0;
    bool eventWaitSignalled_ = false;
    std::optional<std::uint32_t> endedEventMask_; // of a wait that ended as it started
    std::uint32_t eventMask_ = 0;
    CommTimeouts timeouts_;
    static constexpr std::uint32_t NoLineControlRequest = 0xFFFFFFFF;
    std::uint32_t requestedLineControl_ = NoLineControlRequest;
    bool dtrRaised_ = false;
    bool rtsRaised_ = false;
};
