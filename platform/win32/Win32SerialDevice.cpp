#include "win32/Win32SerialDevice.h"

#include "link/PortName.h"
#include "win32/WideText.h"

#include <algorithm>
#include <initializer_list>
#include <string>

namespace {

// A read the link means to return at once with what is queued (read interval all ones, the rest 0)
// never completes on an overlapped handle under wine; a short total time-out does the same job on
// every Windows, since the link only ever reads what the queue status says is there.
constexpr DWORD QueuedReadLimitMs = 50;

// A wait that ends with nothing to show for it is started again, a bounded number of times per call.
constexpr int EventWaitRestarts = 16;

constexpr std::uint32_t ModemEvents = CommEventBit::Cts | CommEventBit::Dsr | CommEventBit::Rlsd | CommEventBit::Ring;

constexpr std::uint32_t LineControlFields = LineFlag::DtrControlMask | LineFlag::RtsControlMask;

IoResult failed(DWORD error) {
    return {IoState::Failed, static_cast<int>(error)};
}

DeviceStatus lastError() {
    return {static_cast<int>(GetLastError())};
}

LineSettings toLineSettings(const DCB& dcb) {
    LineSettings s;
    s.baudRate = dcb.BaudRate;
    s.flags = (dcb.fBinary ? 0x0001u : 0) | (dcb.fParity ? 0x0002u : 0) | (dcb.fOutxCtsFlow ? 0x0004u : 0) |
              (dcb.fOutxDsrFlow ? 0x0008u : 0) | (static_cast<std::uint32_t>(dcb.fDtrControl) << 4) |
              (dcb.fDsrSensitivity ? 0x0040u : 0) | (dcb.fTXContinueOnXoff ? 0x0080u : 0) | (dcb.fOutX ? 0x0100u : 0) |
              (dcb.fInX ? 0x0200u : 0) | (dcb.fErrorChar ? 0x0400u : 0) | (dcb.fNull ? 0x0800u : 0) |
              (static_cast<std::uint32_t>(dcb.fRtsControl) << 12) | (dcb.fAbortOnError ? 0x4000u : 0);
    s.xonLimit = dcb.XonLim;
    s.xoffLimit = dcb.XoffLim;
    s.byteSize = dcb.ByteSize;
    s.parity = dcb.Parity;
    s.stopBits = dcb.StopBits;
    s.xonChar = dcb.XonChar;
    s.xoffChar = dcb.XoffChar;
    s.errorChar = dcb.ErrorChar;
    s.eofChar = dcb.EofChar;
    s.eventChar = dcb.EvtChar;
    return s;
}

void fillDcb(DCB& dcb, const LineSettings& s) {
    dcb.BaudRate = s.baudRate;
    dcb.fBinary = (s.flags & 0x0001) != 0;
    dcb.fParity = (s.flags & 0x0002) != 0;
    dcb.fOutxCtsFlow = (s.flags & 0x0004) != 0;
    dcb.fOutxDsrFlow = (s.flags & 0x0008) != 0;
    dcb.fDtrControl = (s.flags & LineFlag::DtrControlMask) >> 4;
    dcb.fDsrSensitivity = (s.flags & 0x0040) != 0;
    dcb.fTXContinueOnXoff = (s.flags & 0x0080) != 0;
    dcb.fOutX = (s.flags & 0x0100) != 0;
    dcb.fInX = (s.flags & 0x0200) != 0;
    dcb.fErrorChar = (s.flags & 0x0400) != 0;
    dcb.fNull = (s.flags & 0x0800) != 0;
    dcb.fRtsControl = (s.flags & LineFlag::RtsControlMask) >> 12;
    dcb.fAbortOnError = (s.flags & 0x4000) != 0;
    dcb.XonLim = s.xonLimit;
    dcb.XoffLim = s.xoffLimit;
    dcb.ByteSize = s.byteSize;
    dcb.Parity = s.parity;
    dcb.StopBits = s.stopBits;
    dcb.XonChar = s.xonChar;
    dcb.XoffChar = s.xoffChar;
    dcb.ErrorChar = s.errorChar;
    dcb.EofChar = s.eofChar;
    dcb.EvtChar = s.eventChar;
}

// Refuses what no driver takes, so that a refusal the driver gives afterwards can only mean the speed.
DeviceStatus checkFraming(const LineSettings& s) {
    if (s.baudRate == 0) return {ERROR_INVALID_PARAMETER, PortFault::BadSpeed};
    const bool fiveBits = s.byteSize == 5;
    const bool framingOk = s.byteSize >= 5 && s.byteSize <= 8 && s.parity <= SPACEPARITY && s.stopBits <= TWOSTOPBITS &&
                           (s.stopBits != ONE5STOPBITS || fiveBits) && (s.stopBits != TWOSTOPBITS || !fiveBits);
    if (!framingOk) return {ERROR_INVALID_PARAMETER, PortFault::Other};
    return {};
}

COMMTIMEOUTS toSystem(const CommTimeouts& t) {
    COMMTIMEOUTS system{t.readInterval, t.readMultiplier, t.readConstant, t.writeMultiplier, t.writeConstant};
    if (t.readInterval == MAXDWORD && t.readMultiplier == 0 && t.readConstant == 0) {
        system.ReadIntervalTimeout = 0;
        system.ReadTotalTimeoutConstant = QueuedReadLimitMs;
    }
    return system;
}

UniqueHandle newEvent(bool manualReset) {
    return UniqueHandle(CreateEventW(nullptr, manualReset, FALSE, nullptr));
}

} // namespace

std::shared_ptr<SerialDevice> Win32SerialDevice::open(const std::string& portName, int& error) {
    const auto device = devicePathForPort(portName);
    if (!device) {
        error = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    const std::wstring name = widened(*device);
    if (portName.empty() || name.empty()) {
        error = ERROR_INVALID_NAME;
        return nullptr;
    }
    UniqueHandle port(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr));
    if (!port.valid()) {
        error = static_cast<int>(GetLastError());
        return nullptr;
    }
    // Only a serial port is ever written to: a file, a pipe, the console or any other device is let
    // go before anything is sent.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (GetFileType(port.get()) != FILE_TYPE_CHAR || !GetCommState(port.get(), &dcb)) {
        error = ERROR_INVALID_FUNCTION;
        return nullptr;
    }
    OpenedPort opened{std::move(port), newEvent(true), newEvent(true), newEvent(true), newEvent(false)};
    for (const UniqueHandle* event : {&opened.readEvent, &opened.writeEvent, &opened.waitEvent, &opened.wake}) {
        if (!event->valid()) {
            error = static_cast<int>(GetLastError());
            return nullptr;
        }
    }
    error = 0;
    return std::make_shared<Win32SerialDevice>(std::move(opened));
}

Win32SerialDevice::Win32SerialDevice(OpenedPort port)
    : port_(std::move(port.port)),
      handleValue_(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(port_.get()))),
      wake_(std::move(port.wake)), read_(std::move(port.readEvent)), write_(std::move(port.writeEvent)),
      eventWait_(std::move(port.waitEvent)) {
    COMMTIMEOUTS system{};
    if (GetCommTimeouts(port_.get(), &system))
        timeouts_ = {system.ReadIntervalTimeout, system.ReadTotalTimeoutMultiplier, system.ReadTotalTimeoutConstant,
                     system.WriteTotalTimeoutMultiplier, system.WriteTotalTimeoutConstant};
}

Win32SerialDevice::~Win32SerialDevice() {
    close();
}

void Win32SerialDevice::prepare(Operation& op) {
    op.overlapped = {};
    op.overlapped.hEvent = op.event.get();
    op.abortedByClose = false;
    op.result.reset();
}

// The record and the buffer of an operation the link gave up on are the system's until it has
// ended, so it is cancelled and waited for before anything reuses them.
void Win32SerialDevice::cancelAndFinish(Operation& op) {
    if (!op.inFlight) return;
    CancelIoEx(port_.get(), &op.overlapped);
    DWORD bytes = 0;
    GetOverlappedResult(port_.get(), &op.overlapped, &bytes, TRUE);
    op.inFlight = false;
}

IoResult Win32SerialDevice::collect(Operation& op) {
    DWORD bytes = 0;
    const bool done = GetOverlappedResult(port_.get(), &op.overlapped, &bytes, FALSE);
    const DWORD error = done ? ERROR_SUCCESS : GetLastError();
    // A read or write whose total time-out ran out has done what it could: Windows ends it so, wine
    // says that the time ran out.
    if (done || error == ERROR_TIMEOUT) {
        op.inFlight = false;
        IoResult result{IoState::Done};
        result.bytes = bytes;
        return result;
    }
    if (error == ERROR_IO_INCOMPLETE) return {IoState::Incomplete};
    op.inFlight = false;
    return {error == ERROR_OPERATION_ABORTED ? IoState::Aborted : IoState::Failed, static_cast<int>(error)};
}

DeviceStatus Win32SerialDevice::setBufferSizes(std::uint32_t input, std::uint32_t output) {
    std::shared_lock use(portUse_);
    if (closed_) return {ERROR_INVALID_HANDLE};
    if (!SetupComm(port_.get(), input, output)) return lastError();
    return {};
}

DeviceStatus Win32SerialDevice::getLineSettings(LineSettings& settings) {
    std::shared_lock use(portUse_);
    if (closed_) return {ERROR_INVALID_HANDLE};
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port_.get(), &dcb)) return lastError();
    std::lock_guard lock(mutex_);
    settings = toLineSettings(dcb);
    // The modem-control fields as the link set them, not as they were widened to keep raised lines up.
    if (requestedLineControl_ != NoLineControlRequest)
        settings.flags = (settings.flags & ~LineControlFields) | requestedLineControl_;
    return {};
}

DeviceStatus Win32SerialDevice::setLineSettings(const LineSettings& settings) {
    std::shared_lock use(portUse_);
    if (closed_) return {ERROR_INVALID_HANDLE};
    if (const DeviceStatus refused = checkFraming(settings); !refused.ok()) return refused;
    DCB previous{};
    previous.DCBlength = sizeof previous;
    if (!GetCommState(port_.get(), &previous)) return lastError();
    std::lock_guard lock(mutex_);
    DCB dcb = previous;
    fillDcb(dcb, settings);
    // With the lines under the link's control, a new line setting must not drop the ones it raised.
    if ((settings.flags & LineFlag::DtrControlMask) == 0 && dtrRaised_) dcb.fDtrControl = DTR_CONTROL_ENABLE;
    if ((settings.flags & LineFlag::RtsControlMask) == 0 && rtsRaised_) dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!SetCommState(port_.get(), &dcb)) {
        const DWORD error = GetLastError();
        return {static_cast<int>(error), error == ERROR_INVALID_PARAMETER ? PortFault::BadSpeed : faultForError(error)};
    }
    // Some drivers (and wine) take a speed they cannot run and go on at another one.
    DCB taken{};
    taken.DCBlength = sizeof taken;
    if (GetCommState(port_.get(), &taken) && taken.BaudRate != settings.baudRate) {
        SetCommState(port_.get(), &previous);
        return {ERROR_INVALID_PARAMETER, PortFault::BadSpeed};
    }
    requestedLineControl_ = settings.flags & LineControlFields;
    return {};
}

DeviceStatus Win32SerialDevice::getTimeouts(CommTimeouts& timeouts) {
    std::shared_lock use(portUse_);
    if (closed_) return {ERROR_INVALID_HANDLE};
    std::lock_guard lock(mutex_);
    timeouts = timeouts_;
    return {};
}

DeviceStatus Win32SerialDevice::setTimeouts(const CommTimeouts& timeouts) {
    std::shared_lock use(portUse_);
    if (closed_) return {ERROR_INVALID_HANDLE};
    COMMTIMEOUTS system = toSystem(timeouts);
    if (!SetCommTimeouts(port_.get(), &system)) return lastError();
    std::lock_guard lock(mutex_);
    timeouts_ = timeouts;
    return {};
}

DeviceStatus Win32SerialDevice::escape(DWORD function) {
    std::shared_lock use(portUse_);
    if (closed_) return {ERROR_INVALID_HANDLE};
    if (!EscapeCommFunction(port_.get(), function)) return lastError();
    return {};
}

DeviceStatus Win32SerialDevice::setRts(bool raised) {
    const DeviceStatus status = escape(raised ? SETRTS : CLRRTS);
    if (status.ok()) {
        std::lock_guard lock(mutex_);
        rtsRaised_ = raised;
    }
    return status;
}

DeviceStatus Win32SerialDevice::setDtr(bool raised) {
    const DeviceStatus status = escape(raised ? SETDTR : CLRDTR);
    if (status.ok()) {
        std::lock_guard lock(mutex_);
        dtrRaised_ = raised;
    }
    return status;
}

DeviceStatus Win32SerialDevice::setBreak(bool on) {
    return escape(on ? SETBREAK : CLRBREAK);
}

DeviceStatus Win32SerialDevice::readModemStatus(std::uint32_t& modemBits) {
    std::shared_lock use(portUse_);
    if (closed_) return {ERROR_INVALID_HANDLE};
    DWORD bits = 0;
    if (!GetCommModemStatus(port_.get(), &bits)) return lastError();
    modemBits = bits & (ModemBit::Cts | ModemBit::Dsr | ModemBit::Ring | ModemBit::Rlsd);
    return {};
}

std::uint32_t Win32SerialDevice::inQueueNow() {
    DWORD errors = 0;
    COMSTAT queues{};
    if (!ClearCommError(port_.get(), &errors, &queues)) return 0;
    unreadErrors_ |= errors; // cleared by this look, so kept for the link's
    return queues.cbInQue;
}

DeviceStatus Win32SerialDevice::readLineStatus(LineStatus& status) {
    std::shared_lock use(portUse_);
    if (closed_) return {ERROR_INVALID_HANDLE};
    DWORD errors = 0;
    COMSTAT queues{};
    if (!ClearCommError(port_.get(), &errors, &queues)) return lastError();
    std::lock_guard lock(mutex_);
    status.errors = errors | std::exchange(unreadErrors_, 0);
    status.flags =
        static_cast<std::uint8_t>(queues.fCtsHold | queues.fDsrHold << 1 | queues.fRlsdHold << 2 |
                                  queues.fXoffHold << 3 | queues.fXoffSent << 4 | queues.fEof << 5 | queues.fTxim << 6);
    status.inQueue = queues.cbInQue;
    status.outQueue = queues.cbOutQue;
    return {};
}

DeviceStatus Win32SerialDevice::setEventMask(std::uint32_t mask) {
    std::shared_lock use(portUse_);
    if (closed_) return {ERROR_INVALID_HANDLE};
    std::lock_guard lock(mutex_);
    if (!SetCommMask(port_.get(), mask)) return lastError();
    eventMask_ = mask;
    // Windows ends a pending wait here; wine need not, so the wait is ended for sure.
    if (mask == 0 && eventWait_.inFlight) CancelIoEx(port_.get(), &eventWait_.overlapped);
    return {};
}

IoResult Win32SerialDevice::armEventWait() {
    for (;;) {
        prepare(eventWait_);
        occurredEvents_ = 0;
        if (WaitCommEvent(port_.get(), &occurredEvents_, &eventWait_.overlapped)) {
            IoResult result{IoState::Done};
            result.eventMask = occurredEvents_;
            return result;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING) {
            eventWait_.inFlight = true;
            return {IoState::Pending};
        }
        // A port without modem lines (a pseudo-terminal under wine) cannot wait for their changes;
        // it is watched for the events it has instead of for none.
        const std::uint32_t withoutModem = eventMask_ & ~ModemEvents;
        if (error != ERROR_NOT_SUPPORTED || withoutModem == eventMask_ || withoutModem == 0 ||
            !SetCommMask(port_.get(), withoutModem))
            return failed(error);
        eventMask_ = withoutModem;
    }
}

IoResult Win32SerialDevice::startEventWait() {
    std::shared_lock use(portUse_);
    if (closed_) return failed(ERROR_INVALID_HANDLE);
    std::lock_guard lock(mutex_);
    cancelAndFinish(eventWait_);
    eventWaitSignalled_ = false;
    endedEventMask_.reset();
    IoResult result = armEventWait();
    if (result.state != IoState::Done) return result;
    // Events that had already occurred (the end of the last write, as a rule) are handed over by the
    // next wait, as the POSIX device does: a wait that is not pending would make the worker sit out a
    // whole pass, however soon the answer came.
    endedEventMask_ = result.eventMask;
    return {IoState::Pending};
}

DeviceStatus Win32SerialDevice::signalEventWait() {
    std::shared_lock use(portUse_);
    std::lock_guard lock(mutex_);
    eventWaitSignalled_ = true;
    if (eventWait_.inFlight && !closed_) CancelIoEx(port_.get(), &eventWait_.overlapped);
    if (!SetEvent(wake_.get())) return lastError();
    return {};
}

IoResult Win32SerialDevice::startRead(std::uint32_t count) {
    std::shared_lock use(portUse_);
    if (closed_) return failed(ERROR_INVALID_HANDLE);
    std::lock_guard lock(mutex_);
    cancelAndFinish(read_);
    prepare(read_);
    read_.buffer.assign(count, 0);
    if (!ReadFile(port_.get(), read_.buffer.data(), count, nullptr, &read_.overlapped)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) return failed(error);
        read_.inFlight = true;
        return {IoState::Pending};
    }
    IoResult result = collect(read_);
    if (result.state == IoState::Done) result.data.assign(read_.buffer.begin(), read_.buffer.begin() + result.bytes);
    return result;
}

IoResult Win32SerialDevice::readResult() {
    std::shared_lock use(portUse_);
    std::lock_guard lock(mutex_);
    if (std::exchange(read_.abortedByClose, false)) return {IoState::Aborted, ERROR_OPERATION_ABORTED};
    if (closed_) return failed(ERROR_INVALID_HANDLE);
    if (!read_.inFlight) return failed(ERROR_INVALID_PARAMETER);
    IoResult result = collect(read_);
    if (result.state == IoState::Done) result.data.assign(read_.buffer.begin(), read_.buffer.begin() + result.bytes);
    return result;
}

DeviceStatus Win32SerialDevice::signalRead() {
    std::shared_lock use(portUse_);
    std::lock_guard lock(mutex_);
    // A read that ends aborted signals its own event.
    if (read_.inFlight && !closed_) CancelIoEx(port_.get(), &read_.overlapped);
    return {};
}

IoResult Win32SerialDevice::startWrite(std::span<const std::uint8_t> bytes) {
    std::shared_lock use(portUse_);
    if (closed_) return failed(ERROR_INVALID_HANDLE);
    std::lock_guard lock(mutex_);
    cancelAndFinish(write_);
    prepare(write_);
    write_.buffer.assign(bytes.begin(), bytes.end());
    const auto size = static_cast<DWORD>(write_.buffer.size());
    if (WriteFile(port_.get(), write_.buffer.data(), size, nullptr, &write_.overlapped)) return collect(write_);
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) return failed(error);
    write_.inFlight = true;
    SetEvent(wake_.get()); // the worker's wait should now watch the write as well
    return {IoState::Pending};
}

IoResult Win32SerialDevice::writeResult() {
    std::shared_lock use(portUse_);
    std::lock_guard lock(mutex_);
    if (write_.result) return *std::exchange(write_.result, std::nullopt);
    if (std::exchange(write_.abortedByClose, false)) return {IoState::Aborted, ERROR_OPERATION_ABORTED};
    if (closed_) return failed(ERROR_INVALID_HANDLE);
    if (!write_.inFlight) return failed(ERROR_INVALID_PARAMETER);
    return collect(write_);
}

DeviceStatus Win32SerialDevice::resetWrite() {
    std::shared_lock use(portUse_);
    std::lock_guard lock(mutex_);
    if (!closed_) cancelAndFinish(write_);
    write_.result.reset();
    write_.abortedByClose = false;
    if (!ResetEvent(write_.event.get())) return lastError();
    return {};
}

static_assert(PurgeBit::TxAbort == PURGE_TXABORT && PurgeBit::RxAbort == PURGE_RXABORT &&
              PurgeBit::TxClear == PURGE_TXCLEAR && PurgeBit::RxClear == PURGE_RXCLEAR);

DeviceStatus Win32SerialDevice::purge(std::uint32_t what) {
    std::shared_lock use(portUse_);
    if (closed_) return {ERROR_INVALID_HANDLE};
    std::lock_guard lock(mutex_);
    const DeviceStatus status = PurgeComm(port_.get(), what) ? DeviceStatus{} : lastError();
    // wine empties the queues but may leave an overlapped read or write waiting.
    if ((what & PurgeBit::RxAbort) && read_.inFlight) CancelIoEx(port_.get(), &read_.overlapped);
    if ((what & PurgeBit::TxAbort) && write_.inFlight) CancelIoEx(port_.get(), &write_.overlapped);
    return status;
}

bool Win32SerialDevice::waitCanEnd(std::uint32_t mask) const {
    return mask != 0 || eventMask_ == 0 || eventWaitSignalled_ || closed_;
}

// An event wait that ended with no event while the link still watches (wine ends many of them so,
// aborted with an empty mask) is started again instead of being handed up.
std::optional<WaitOutcome> Win32SerialDevice::eventWaitEnded() {
    std::lock_guard lock(mutex_);
    if (!eventWait_.inFlight) return WaitOutcome{WaitOutcome::EventSignalled};
    const IoResult result = collect(eventWait_);
    switch (result.state) {
    case IoState::Incomplete:
        return std::nullopt;
    case IoState::Done:
    case IoState::Aborted: {
        const std::uint32_t mask = result.state == IoState::Done ? occurredEvents_ : 0;
        if (waitCanEnd(mask)) {
            eventWaitSignalled_ = false;
            return WaitOutcome{WaitOutcome::EventSignalled, 0, mask};
        }
        // Bytes that came while no wait was armed would not end the next one.
        if (const std::uint32_t received = eventMask_ & CommEventBit::RxChar; received && inQueueNow() > 0)
            return WaitOutcome{WaitOutcome::EventSignalled, 0, received};
        const IoResult again = armEventWait();
        if (again.state == IoState::Pending) return std::nullopt;
        if (again.state == IoState::Done) return WaitOutcome{WaitOutcome::EventSignalled, 0, again.eventMask};
        return WaitOutcome{WaitOutcome::Failed, again.error};
    }
    default:
        return WaitOutcome{WaitOutcome::Failed, result.error};
    }
}

WaitOutcome Win32SerialDevice::waitFor(bool readPending, bool eventWaitPending, std::chrono::milliseconds timeout) {
    enum class Source { Read, EventWait, Write, Wake };
    const auto deadline = Clock::now() + timeout;
    std::shared_lock use(portUse_);
    for (int restarts = 0;;) {
        HANDLE handles[4];
        Source sources[4];
        DWORD count = 0;
        {
            std::lock_guard lock(mutex_);
            // Ended already (by a close, or signalled): the result is there to be taken.
            if (readPending && !read_.inFlight) return {WaitOutcome::ReadSignalled};
            if (eventWaitPending && (eventWaitSignalled_ || endedEventMask_ || !eventWait_.inFlight)) {
                eventWaitSignalled_ = false;
                return {WaitOutcome::EventSignalled, 0, std::exchange(endedEventMask_, std::nullopt).value_or(0)};
            }
            // A close is letting what is in flight end; it needs the port to itself.
            if (closed_ && (read_.inFlight || write_.inFlight || eventWait_.inFlight)) return {WaitOutcome::TimedOut};
            if (readPending) handles[count] = read_.event.get(), sources[count++] = Source::Read;
            if (eventWaitPending) handles[count] = eventWait_.event.get(), sources[count++] = Source::EventWait;
            if (write_.inFlight) handles[count] = write_.event.get(), sources[count++] = Source::Write;
        }
        handles[count] = wake_.get(), sources[count++] = Source::Wake;

        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return {WaitOutcome::TimedOut};
        const DWORD woke = WaitForMultipleObjects(count, handles, FALSE, static_cast<DWORD>(left));
        if (woke == WAIT_TIMEOUT) return {WaitOutcome::TimedOut};
        if (woke >= WAIT_OBJECT_0 + count) return {WaitOutcome::Failed, static_cast<int>(GetLastError())};
        switch (sources[woke - WAIT_OBJECT_0]) {
        case Source::Read:
            return {WaitOutcome::ReadSignalled};
        case Source::Write: {
            // Taken now, so that the ended write's event does not end every later wait at once.
            std::lock_guard lock(mutex_);
            if (write_.inFlight) {
                IoResult result = collect(write_);
                if (result.state != IoState::Incomplete) write_.result = std::move(result);
            }
            return {WaitOutcome::TimedOut};
        }
        case Source::EventWait:
            if (auto outcome = eventWaitEnded()) return *outcome;
            if (++restarts > EventWaitRestarts) return {WaitOutcome::TimedOut};
            break;
        case Source::Wake:
            if (!readPending && !eventWaitPending) return {WaitOutcome::TimedOut};
            break;
        }
    }
}

DeviceStatus Win32SerialDevice::close() {
    if (closed_.exchange(true)) return {ERROR_INVALID_HANDLE};
    CancelIoEx(port_.get(), nullptr);
    SetEvent(wake_.get());
    std::unique_lock own(portUse_);
    std::lock_guard lock(mutex_);
    for (Operation* op : {&read_, &write_, &eventWait_}) {
        if (!op->inFlight) continue;
        cancelAndFinish(*op);
        op->abortedByClose = true;
    }
    if (!port_.reset()) return lastError();
    return {};
}
