#pragma once

#include "link/SerialDevice.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

// A port whose every behaviour a test can set: modem lines, line errors, received bytes, reads and
// writes that stay pending, and calls that fail. Thread-safe, as the worker calls it too.
class FakeSerialDevice : public SerialDevice {
public:
    enum class Call {
        BufferSizes,
        GetLine,
        SetLine,
        GetTimeouts,
        SetTimeouts,
        Rts,
        Dtr,
        Break,
        Modem,
        LineStatus,
        EventMask,
        StartEventWait,
        StartRead,
        StartWrite,
        WaitFor,
        Purge,
        Close,
        SignalRead,
        SignalEventWait,
        ResetWrite,
    };

    // Test controls.
    void failCall(Call call, int error);
    void failEverything(int error);
    void receive(const std::vector<std::uint8_t>& bytes, std::uint32_t lineErrors = 0);
    void setModemLines(std::uint32_t bits);
    void setReadsPend(bool pend);
    void setWritesPend(bool pend);
    void completeWrite(std::uint32_t bytes);
    void failWrite(int error);
    void raiseEvents(std::uint32_t mask);

    // What the link did.
    std::vector<std::uint8_t> written() const;
    LineSettings lineSettings() const;
    CommTimeouts timeouts() const;
    bool rts() const;
    bool dtr() const;
    bool breakOn() const;
    std::uint32_t eventMask() const;
    int calls(Call call) const;
    bool closed() const;

    std::uint32_t handle() const override { return 7; }
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
    DeviceStatus enter(Call call);
    std::vector<std::uint8_t> takeInput(std::uint32_t count);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<Call, int> failures_;
    std::map<Call, int> calls_;
    bool closed_ = false;

    LineSettings settings_;
    CommTimeouts timeouts_;
    bool rts_ = false, dtr_ = false, break_ = false;
    std::uint32_t modem_ = 0;
    std::uint32_t lineErrors_ = 0;
    std::deque<std::uint8_t> input_;
    std::vector<std::uint8_t> written_;
    std::uint32_t eventMask_ = 0;
    std::uint32_t raisedEvents_ = 0;

    bool readsPend_ = false, readPending_ = false, readAborted_ = false, readSignalled_ = false;
    std::uint32_t readCount_ = 0;
    bool writesPend_ = false, writePending_ = false;
    std::vector<std::uint8_t> pendingWrite_;
    std::optional<IoResult> writeOutcome_;
    bool eventWaitPending_ = false, eventWaitEnded_ = false, eventSignalled_ = false;
};
