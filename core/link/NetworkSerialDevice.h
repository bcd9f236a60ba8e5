#pragma once

#include "link/NetworkPortName.h"
#include "link/NetworkSocket.h"
#include "link/SerialDevice.h"
#include "link/TelnetCodec.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// A recorder line through a serial device server: the serial device's calls over one TCP connection,
// raw or as RFC 2217 (line settings and modem lines as COM-port commands, data with 0xFF doubled).
// Received data is taken from the socket whenever the link looks at the line, so a close or a reset
// by the server shows as the line gone. Unsent bytes cannot be taken back from a stream: discarding
// them drops the connection instead.
class NetworkSerialDevice final : public SerialDevice {
public:
    NetworkSerialDevice(std::unique_ptr<NetworkSocket> socket, NetworkPort::Protocol protocol);
    ~NetworkSerialDevice() override;

    // For a telnet line: offers the COM-port option and waits at most limit for the server to agree.
    DeviceStatus negotiate(std::chrono::milliseconds limit);

    std::uint32_t handle() const override { return 0; }
    bool reconnectsWhenUnanswered() const override { return true; }

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

    struct EventWait {
        bool pending = false, ended = false, signalled = false;
        std::uint64_t received = 0;
    };
    struct PendingRead {
        bool pending = false, aborted = false, signalled = false;
        std::uint32_t count = 0;
    };
    struct PendingWrite {
        bool pending = false, aborted = false;
        std::uint64_t wireEnd = 0; // where the write's last byte lies in the outgoing stream
        std::uint32_t count = 0;
        std::optional<Clock::time_point> deadline;
    };

    DeviceStatus usable() const;
    void pump();
    void flush();
    void queueWire(const std::vector<std::uint8_t>& wire);
    void failConnection(int error);
    IoResult takeData(std::uint32_t count);
    IoResult finishWrite();
    DeviceStatus comPortControl(std::uint8_t value);
    // Waits for answered() (called under the lock) until the deadline, taking what the server sends.
    DeviceStatus awaitServer(const std::function<bool()>& answered, Clock::time_point deadline);

    std::unique_ptr<NetworkSocket> socket_;
    const bool telnet_;
    std::atomic<bool> closed_{false};

    std::mutex mutex_;
    TelnetCodec codec_;
    int failure_ = 0;               // the connection's end, once it has ended
    std::vector<std::uint8_t> rx_;  // data received and not yet read
    std::vector<std::uint8_t> out_; // bytes for the wire not yet sent
    std::uint64_t receivedTotal_ = 0;
    std::uint64_t queuedTotal_ = 0;
    std::uint64_t sentTotal_ = 0;
    LineSettings settings_;
    CommTimeouts timeouts_;
    std::uint32_t eventMask_ = 0;
    EventWait eventWait_;
    PendingRead read_;
    PendingWrite write_;
};
