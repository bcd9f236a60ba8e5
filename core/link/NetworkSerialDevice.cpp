#include "link/NetworkSerialDevice.h"

#include <algorithm>
#include <cerrno>

namespace {

// More received data than any answer holds is left in the socket until the link has read this much.
constexpr std::size_t MaxQueued = 64 * 1024;
constexpr std::size_t ReceiveChunk = 4096;
// How long a live server takes at most to answer a COM-port request.
constexpr auto AnswerLimit = std::chrono::milliseconds(300);

IoResult failed(int error) {
    return {IoState::Failed, error};
}

std::vector<std::uint8_t> bigEndian(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

// RFC 2217 counts parity from 1 (none) and gives stop bits as 1 (one), 2 (two), 3 (one and a half).
std::uint8_t parityCode(std::uint8_t parity) {
    return static_cast<std::uint8_t>(parity + 1);
}
std::uint8_t stopSizeCode(std::uint8_t stopBits) {
    constexpr std::uint8_t codes[] = {1, 3, 2};
    return stopBits < 3 ? codes[stopBits] : 1;
}

std::uint8_t flowControlCode(std::uint32_t flags) {
    if (flags & (LineFlag::CtsOutputHandshake | LineFlag::RtsHandshake)) return ComPort::HardwareFlowControl;
    if (flags & (LineFlag::XonXoffOutput | LineFlag::XonXoffInput)) return ComPort::XonXoffFlowControl;
    return ComPort::NoFlowControl;
}

bool isLoss(int error) {
    const PortFault fault = faultForError(error);
    return fault == PortFault::Disconnected || fault == PortFault::Unreachable;
}

} // namespace

NetworkSerialDevice::NetworkSerialDevice(std::unique_ptr<NetworkSocket> socket, NetworkPort::Protocol protocol)
    : socket_(std::move(socket)), telnet_(protocol == NetworkPort::Protocol::Rfc2217) {}

NetworkSerialDevice::~NetworkSerialDevice() = default;

DeviceStatus NetworkSerialDevice::usable() const {
    if (closed_) return {EBADF};
    return {failure_};
}

void NetworkSerialDevice::failConnection(int error) {
    if (failure_) return;
    // Whatever the socket said, the connection is over: the line is gone, not merely failing.
    failure_ = isLoss(error) ? error : networkCodes().closedByServer;
    socket_->abort();
}

void NetworkSerialDevice::flush() {
    while (!out_.empty() && !failure_) {
        std::size_t sent = 0;
        if (const int error = socket_->send(out_, sent)) return failConnection(error);
        if (sent == 0) return;
        out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(sent));
        sentTotal_ += sent;
    }
}

void NetworkSerialDevice::queueWire(const std::vector<std::uint8_t>& wire) {
    out_.insert(out_.end(), wire.begin(), wire.end());
    queuedTotal_ += wire.size();
    flush();
}

void NetworkSerialDevice::pump() {
    if (failure_ || closed_) return;
    flush();
    std::vector<std::uint8_t> wire;
    while (!failure_ && rx_.size() + wire.size() < MaxQueued) {
        const std::size_t had = wire.size();
        if (const int error = socket_->receive(wire, ReceiveChunk)) failConnection(error);
        if (wire.size() == had) break;
    }
    if (wire.empty()) return;
    std::vector<std::uint8_t> data, replies;
    if (telnet_) {
        codec_.decode(wire, data, replies);
    } else {
        data = std::move(wire);
    }
    receivedTotal_ += data.size();
    rx_.insert(rx_.end(), data.begin(), data.end());
    if (!replies.empty() && !failure_) queueWire(replies);
}

DeviceStatus NetworkSerialDevice::awaitServer(const std::function<bool()>& answered, Clock::time_point deadline) {
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            pump();
            if (const DeviceStatus status = usable(); !status.ok()) return status;
            if (answered()) return {};
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return {networkCodes().timedOut, PortFault::Unreachable};
        socket_->wait(NetworkSocket::Watch::Readable, left);
    }
}

DeviceStatus NetworkSerialDevice::negotiate(std::chrono::milliseconds limit) {
    if (!telnet_) return {};
    {
        std::lock_guard lock(mutex_);
        queueWire(codec_.offerComPort());
    }
    const DeviceStatus status =
        awaitServer([this] { return codec_.comPortState() != TelnetCodec::ComPortState::Asked; }, Clock::now() + limit);
    if (!status.ok()) return status;
    std::lock_guard lock(mutex_);
    if (codec_.comPortState() == TelnetCodec::ComPortState::Refused)
        return {networkCodes().refusedOption, PortFault::OptionRefused};
    return {};
}

DeviceStatus NetworkSerialDevice::setBufferSizes(std::uint32_t, std::uint32_t) {
    return {closed_ ? EBADF : 0};
}

DeviceStatus NetworkSerialDevice::getLineSettings(LineSettings& settings) {
    std::lock_guard lock(mutex_);
    settings = settings_;
    return {closed_ ? EBADF : 0};
}

// On a telnet line the server sets its port and says what it set; a speed it cannot do is refused
// as a local port refuses it. Waits at most AnswerLimit: the server has just answered the offer.
DeviceStatus NetworkSerialDevice::setLineSettings(const LineSettings& settings) {
    constexpr std::uint8_t asked[] = {ComPort::SetBaudRate, ComPort::SetDataSize, ComPort::SetParity,
                                      ComPort::SetStopSize};
    {
        std::lock_guard lock(mutex_);
        if (const DeviceStatus status = usable(); !status.ok()) return status;
        if (!telnet_) {
            settings_ = settings;
            return {};
        }
        for (const std::uint8_t command : asked)
            codec_.forget(command);
        std::vector<std::uint8_t> wire =
            TelnetCodec::comPortRequest(ComPort::SetBaudRate, bigEndian(settings.baudRate));
        for (const auto& [command, value] : {std::pair{ComPort::SetDataSize, settings.byteSize},
                                             std::pair{ComPort::SetParity, parityCode(settings.parity)},
                                             std::pair{ComPort::SetStopSize, stopSizeCode(settings.stopBits)},
                                             std::pair{ComPort::SetControl, flowControlCode(settings.flags)}}) {
            const auto request = TelnetCodec::comPortRequest(command, std::vector<std::uint8_t>{value});
            wire.insert(wire.end(), request.begin(), request.end());
        }
        queueWire(wire);
    }
    const auto allAnswered = [this, &asked] {
        return std::all_of(std::begin(asked), std::end(asked), [this](std::uint8_t c) { return codec_.answer(c); });
    };
    if (const DeviceStatus status = awaitServer(allAnswered, Clock::now() + AnswerLimit); !status.ok()) return status;
    std::lock_guard lock(mutex_);
    if (*codec_.answer(ComPort::SetBaudRate) != bigEndian(settings.baudRate)) return {EINVAL, PortFault::BadSpeed};
    const std::uint8_t wanted[] = {settings.byteSize, parityCode(settings.parity), stopSizeCode(settings.stopBits)};
    for (std::size_t i = 0; i < std::size(wanted); ++i)
        if (*codec_.answer(asked[i + 1]) != std::vector<std::uint8_t>{wanted[i]})
            return {networkCodes().refusedOption, PortFault::OptionRefused};
    settings_ = settings;
    return {};
}

DeviceStatus NetworkSerialDevice::getTimeouts(CommTimeouts& timeouts) {
    std::lock_guard lock(mutex_);
    timeouts = timeouts_;
    return {closed_ ? EBADF : 0};
}

DeviceStatus NetworkSerialDevice::setTimeouts(const CommTimeouts& timeouts) {
    std::lock_guard lock(mutex_);
    timeouts_ = timeouts;
    return {closed_ ? EBADF : 0};
}

DeviceStatus NetworkSerialDevice::comPortControl(std::uint8_t value) {
    std::lock_guard lock(mutex_);
    if (const DeviceStatus status = usable(); !status.ok()) return status;
    // A raw server keeps its own modem lines.
    if (telnet_) queueWire(TelnetCodec::comPortRequest(ComPort::SetControl, std::vector<std::uint8_t>{value}));
    return usable();
}

DeviceStatus NetworkSerialDevice::setRts(bool raised) {
    return comPortControl(raised ? ComPort::RtsOn : ComPort::RtsOff);
}
DeviceStatus NetworkSerialDevice::setDtr(bool raised) {
    return comPortControl(raised ? ComPort::DtrOn : ComPort::DtrOff);
}
DeviceStatus NetworkSerialDevice::setBreak(bool on) {
    return comPortControl(on ? ComPort::BreakOn : ComPort::BreakOff);
}

DeviceStatus NetworkSerialDevice::readModemStatus(std::uint32_t& modemBits) {
    std::lock_guard lock(mutex_);
    // RFC 2217's modem state puts CTS, DSR, ring and carrier on the same bits as the link does.
    modemBits = codec_.modemState() & (ModemBit::Cts | ModemBit::Dsr | ModemBit::Ring | ModemBit::Rlsd);
    return usable();
}

DeviceStatus NetworkSerialDevice::readLineStatus(LineStatus& status) {
    std::lock_guard lock(mutex_);
    pump();
    status = {};
    status.inQueue = static_cast<std::uint32_t>(rx_.size());
    status.outQueue = static_cast<std::uint32_t>(out_.size());
    // What came before the end is still read first.
    return rx_.empty() ? usable() : DeviceStatus{};
}

DeviceStatus NetworkSerialDevice::setEventMask(std::uint32_t mask) {
    std::lock_guard lock(mutex_);
    if (closed_) return {EBADF};
    eventMask_ = mask;
    if (mask == 0 && eventWait_.pending) eventWait_.ended = true;
    socket_->wake();
    return {};
}

IoResult NetworkSerialDevice::startEventWait() {
    std::lock_guard lock(mutex_);
    if (const DeviceStatus status = usable(); !status.ok()) return failed(status.error);
    if (eventMask_ == 0) return failed(EINVAL);
    eventWait_ = {true, false, false, receivedTotal_};
    return {IoState::Pending};
}

DeviceStatus NetworkSerialDevice::signalEventWait() {
    std::lock_guard lock(mutex_);
    eventWait_.signalled = true;
    socket_->wake();
    return {};
}

IoResult NetworkSerialDevice::takeData(std::uint32_t count) {
    pump();
    if (rx_.empty()) return failure_ ? failed(failure_) : IoResult{IoState::Incomplete};
    const auto taken = static_cast<std::ptrdiff_t>(std::min<std::size_t>(count, rx_.size()));
    IoResult result{IoState::Done};
    result.data.assign(rx_.begin(), rx_.begin() + taken);
    rx_.erase(rx_.begin(), rx_.begin() + taken);
    if (settings_.flags & LineFlag::DiscardNulls) std::erase(result.data, std::uint8_t{0});
    return result;
}

IoResult NetworkSerialDevice::startRead(std::uint32_t count) {
    std::lock_guard lock(mutex_);
    if (closed_) return failed(EBADF);
    read_ = {};
    IoResult result = takeData(count);
    if (result.state == IoState::Incomplete) {
        read_ = {true, false, false, count};
        result.state = IoState::Pending;
    }
    return result;
}

IoResult NetworkSerialDevice::readResult() {
    std::lock_guard lock(mutex_);
    if (!read_.pending) return failed(EINVAL);
    if (read_.aborted || closed_) {
        const bool aborted = read_.aborted;
        read_ = {};
        return aborted ? IoResult{IoState::Aborted, ECANCELED} : failed(EBADF);
    }
    IoResult result = takeData(read_.count);
    if (result.state != IoState::Incomplete) read_ = {};
    return result;
}

DeviceStatus NetworkSerialDevice::signalRead() {
    std::lock_guard lock(mutex_);
    read_.signalled = true;
    socket_->wake();
    return {};
}

IoResult NetworkSerialDevice::finishWrite() {
    flush();
    if (failure_) return failed(failure_);
    if (sentTotal_ >= write_.wireEnd) {
        IoResult result{IoState::Done};
        result.bytes = write_.count;
        return result;
    }
    // A server that takes nothing for the whole write time-out is not coming back in time.
    if (write_.deadline && Clock::now() >= *write_.deadline) {
        failConnection(networkCodes().timedOut);
        return failed(failure_);
    }
    return {IoState::Incomplete};
}

IoResult NetworkSerialDevice::startWrite(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    if (const DeviceStatus status = usable(); !status.ok()) return failed(status.error);
    std::vector<std::uint8_t> wire;
    if (telnet_)
        TelnetCodec::encodeData(bytes, wire);
    else
        wire.assign(bytes.begin(), bytes.end());
    write_ = {};
    write_.count = static_cast<std::uint32_t>(bytes.size());
    if (timeouts_.writeConstant != 0)
        write_.deadline = Clock::now() + std::chrono::milliseconds(timeouts_.writeConstant);
    out_.insert(out_.end(), wire.begin(), wire.end());
    queuedTotal_ += wire.size();
    write_.wireEnd = queuedTotal_;
    IoResult result = finishWrite();
    if (result.state == IoState::Incomplete) {
        write_.pending = true;
        result.state = IoState::Pending;
        socket_->wake(); // the worker's wait should now watch for room to write
    } else {
        write_ = {};
    }
    return result;
}

IoResult NetworkSerialDevice::writeResult() {
    std::lock_guard lock(mutex_);
    if (!write_.pending) return failed(EINVAL);
    if (write_.aborted || closed_) {
        const bool aborted = write_.aborted;
        write_ = {};
        return aborted ? IoResult{IoState::Aborted, ECANCELED} : failed(EBADF);
    }
    IoResult result = finishWrite();
    if (result.state != IoState::Incomplete) write_ = {};
    return result;
}

DeviceStatus NetworkSerialDevice::resetWrite() {
    std::lock_guard lock(mutex_);
    write_ = {};
    return {};
}

DeviceStatus NetworkSerialDevice::purge(std::uint32_t what) {
    std::lock_guard lock(mutex_);
    if (closed_) return {EBADF};
    if (what & PurgeBit::RxClear) {
        pump();
        rx_.clear();
    }
    // Bytes half sent cannot be cut out of a stream; only a reset makes sure they never arrive.
    if ((what & PurgeBit::TxClear) && !out_.empty()) failConnection(networkCodes().timedOut);
    if (read_.pending && (what & PurgeBit::RxAbort)) read_.aborted = true;
    if (write_.pending && (what & PurgeBit::TxAbort)) write_.aborted = true;
    socket_->wake();
    return {};
}

WaitOutcome NetworkSerialDevice::waitFor(bool readPending, bool eventWaitPending, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        auto watch = NetworkSocket::Watch::WakeOnly;
        bool writePending = false;
        {
            std::lock_guard lock(mutex_);
            if (readPending && read_.signalled) {
                read_.signalled = false;
                return {WaitOutcome::ReadSignalled};
            }
            if (eventWaitPending && (eventWait_.ended || eventWait_.signalled)) {
                eventWait_ = {};
                return {WaitOutcome::EventSignalled};
            }
            if (!closed_ && (readPending || eventWaitPending)) {
                pump();
                if (failure_ && rx_.empty()) return {WaitOutcome::Failed, failure_};
                if (eventWaitPending && (eventMask_ & CommEventBit::RxChar) && receivedTotal_ > eventWait_.received) {
                    eventWait_ = {};
                    return {WaitOutcome::EventSignalled, 0, CommEventBit::RxChar};
                }
                if (readPending && !rx_.empty()) return {WaitOutcome::ReadSignalled};
                if (rx_.size() < MaxQueued)
                    watch = out_.empty() ? NetworkSocket::Watch::Readable : NetworkSocket::Watch::ReadableOrWritable;
            }
            writePending = write_.pending;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return {WaitOutcome::TimedOut};
        socket_->wait(watch, left);
        // A write that can move on is the worker's next step.
        if (writePending) return {WaitOutcome::TimedOut};
    }
}

DeviceStatus NetworkSerialDevice::close() {
    if (closed_.exchange(true)) return {EBADF};
    socket_->abort();
    return {};
}
