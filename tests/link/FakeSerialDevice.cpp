#include "tests/link/FakeSerialDevice.h"

#include <cerrno>

void FakeSerialDevice::failCall(Call call, int error) {
    std::lock_guard lock(mutex_);
    failures_[call] = error;
}

void FakeSerialDevice::failEverything(int error) {
    for (int c = 0; c <= static_cast<int>(Call::ResetWrite); ++c)
        failCall(static_cast<Call>(c), error);
}

void FakeSerialDevice::receive(const std::vector<std::uint8_t>& bytes, std::uint32_t lineErrors) {
    std::lock_guard lock(mutex_);
    input_.insert(input_.end(), bytes.begin(), bytes.end());
    lineErrors_ |= lineErrors;
    raisedEvents_ |= CommEventBit::RxChar;
    changed_.notify_all();
}

void FakeSerialDevice::setModemLines(std::uint32_t bits) {
    std::lock_guard lock(mutex_);
    modem_ = bits;
    changed_.notify_all();
}

void FakeSerialDevice::setReadsPend(bool pend) {
    std::lock_guard lock(mutex_);
    readsPend_ = pend;
}

void FakeSerialDevice::setWritesPend(bool pend) {
    std::lock_guard lock(mutex_);
    writesPend_ = pend;
}

void FakeSerialDevice::completeWrite(std::uint32_t bytes) {
    std::lock_guard lock(mutex_);
    IoResult result{IoState::Done};
    result.bytes = bytes;
    written_.insert(written_.end(), pendingWrite_.begin(),
                    pendingWrite_.begin() + std::min<std::size_t>(bytes, pendingWrite_.size()));
    writeOutcome_ = result;
    changed_.notify_all();
}

void FakeSerialDevice::failWrite(int error) {
    std::lock_guard lock(mutex_);
    writeOutcome_ = IoResult{IoState::Failed, error};
    changed_.notify_all();
}

void FakeSerialDevice::raiseEvents(std::uint32_t mask) {
    std::lock_guard lock(mutex_);
    raisedEvents_ |= mask;
    changed_.notify_all();
}

std::vector<std::uint8_t> FakeSerialDevice::written() const {
    std::lock_guard lock(mutex_);
    return written_;
}

LineSettings FakeSerialDevice::lineSettings() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

CommTimeouts FakeSerialDevice::timeouts() const {
    std::lock_guard lock(mutex_);
    return timeouts_;
}

bool FakeSerialDevice::rts() const {
    std::lock_guard lock(mutex_);
    return rts_;
}

bool FakeSerialDevice::dtr() const {
    std::lock_guard lock(mutex_);
    return dtr_;
}

bool FakeSerialDevice::breakOn() const {
    std::lock_guard lock(mutex_);
    return break_;
}

std::uint32_t FakeSerialDevice::eventMask() const {
    std::lock_guard lock(mutex_);
    return eventMask_;
}

int FakeSerialDevice::calls(Call call) const {
    std::lock_guard lock(mutex_);
    auto it = calls_.find(call);
    return it == calls_.end() ? 0 : it->second;
}

bool FakeSerialDevice::closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

// Counts the call and tells whether the test wants it to fail; the caller holds the lock.
DeviceStatus FakeSerialDevice::enter(Call call) {
    ++calls_[call];
    auto it = failures_.find(call);
    return {it == failures_.end() ? 0 : it->second};
}

DeviceStatus FakeSerialDevice::setBufferSizes(std::uint32_t, std::uint32_t) {
    std::lock_guard lock(mutex_);
    return enter(Call::BufferSizes);
}

DeviceStatus FakeSerialDevice::getLineSettings(LineSettings& settings) {
    std::lock_guard lock(mutex_);
    const DeviceStatus status = enter(Call::GetLine);
    if (status.ok()) settings = settings_;
    return status;
}

DeviceStatus FakeSerialDevice::setLineSettings(const LineSettings& settings) {
    std::lock_guard lock(mutex_);
    const DeviceStatus status = enter(Call::SetLine);
    if (status.ok()) settings_ = settings;
    return status;
}

DeviceStatus FakeSerialDevice::getTimeouts(CommTimeouts& timeouts) {
    std::lock_guard lock(mutex_);
    const DeviceStatus status = enter(Call::GetTimeouts);
    if (status.ok()) timeouts = timeouts_;
    return status;
}

DeviceStatus FakeSerialDevice::setTimeouts(const CommTimeouts& timeouts) {
    std::lock_guard lock(mutex_);
    const DeviceStatus status = enter(Call::SetTimeouts);
    if (status.ok()) timeouts_ = timeouts;
    return status;
}

DeviceStatus FakeSerialDevice::setRts(bool raised) {
    std::lock_guard lock(mutex_);
    const DeviceStatus status = enter(Call::Rts);
    if (status.ok()) rts_ = raised;
    return status;
}

DeviceStatus FakeSerialDevice::setDtr(bool raised) {
    std::lock_guard lock(mutex_);
    const DeviceStatus status = enter(Call::Dtr);
    if (status.ok()) dtr_ = raised;
    return status;
}

DeviceStatus FakeSerialDevice::setBreak(bool on) {
    std::lock_guard lock(mutex_);
    const DeviceStatus status = enter(Call::Break);
    if (status.ok()) break_ = on;
    return status;
}

DeviceStatus FakeSerialDevice::readModemStatus(std::uint32_t& modemBits) {
    std::lock_guard lock(mutex_);
    const DeviceStatus status = enter(Call::Modem);
    if (status.ok()) modemBits = modem_;
    return status;
}

DeviceStatus FakeSerialDevice::readLineStatus(LineStatus& status) {
    std::lock_guard lock(mutex_);
    const DeviceStatus result = enter(Call::LineStatus);
    if (!result.ok()) return result;
    status = {};
    status.errors = std::exchange(lineErrors_, 0);
    status.inQueue = static_cast<std::uint32_t>(input_.size());
    return result;
}

DeviceStatus FakeSerialDevice::setEventMask(std::uint32_t mask) {
    std::lock_guard lock(mutex_);
    const DeviceStatus status = enter(Call::EventMask);
    if (!status.ok()) return status;
    eventMask_ = mask;
    if (mask == 0 && eventWaitPending_) eventWaitEnded_ = true;
    changed_.notify_all();
    return status;
}

IoResult FakeSerialDevice::startEventWait() {
    std::lock_guard lock(mutex_);
    if (const DeviceStatus status = enter(Call::StartEventWait); !status.ok()) return {IoState::Failed, status.error};
    if (const std::uint32_t mask = std::exchange(raisedEvents_, 0) & eventMask_) {
        IoResult result{IoState::Done};
        result.eventMask = mask;
        return result;
    }
    eventWaitPending_ = true;
    eventWaitEnded_ = eventSignalled_ = false;
    return {IoState::Pending};
}

DeviceStatus FakeSerialDevice::signalEventWait() {
    std::lock_guard lock(mutex_);
    const DeviceStatus status = enter(Call::SignalEventWait);
    if (status.ok()) eventSignalled_ = true;
    changed_.notify_all();
    return status;
}

std::vector<std::uint8_t> FakeSerialDevice::takeInput(std::uint32_t count) {
    const std::size_t n = std::min<std::size_t>(count, input_.size());
    std::vector<std::uint8_t> bytes(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(n));
    return bytes;
}

IoResult FakeSerialDevice::startRead(std::uint32_t count) {
    std::lock_guard lock(mutex_);
    if (const DeviceStatus status = enter(Call::StartRead); !status.ok()) return {IoState::Failed, status.error};
    if (readsPend_) {
        readPending_ = true;
        readAborted_ = readSignalled_ = false;
        readCount_ = count;
        return {IoState::Pending};
    }
    IoResult result{IoState::Done};
    result.data = takeInput(count);
    return result;
}

IoResult FakeSerialDevice::readResult() {
    std::lock_guard lock(mutex_);
    readPending_ = false;
    if (readAborted_) return {IoState::Aborted, ECANCELED};
    if (closed_) return {IoState::Failed, EBADF};
    IoResult result{IoState::Done};
    result.data = takeInput(readCount_);
    return result;
}

DeviceStatus FakeSerialDevice::signalRead() {
    std::lock_guard lock(mutex_);
    const DeviceStatus status = enter(Call::SignalRead);
    if (status.ok()) readSignalled_ = true;
    changed_.notify_all();
    return status;
}

IoResult FakeSerialDevice::startWrite(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    if (const DeviceStatus status = enter(Call::StartWrite); !status.ok()) return {IoState::Failed, status.error};
    if (writesPend_) {
        writePending_ = true;
        pendingWrite_.assign(bytes.begin(), bytes.end());
        writeOutcome_.reset();
        return {IoState::Pending};
    }
    written_.insert(written_.end(), bytes.begin(), bytes.end());
    IoResult result{IoState::Done};
    result.bytes = static_cast<std::uint32_t>(bytes.size());
    return result;
}

IoResult FakeSerialDevice::writeResult() {
    std::lock_guard lock(mutex_);
    if (!writeOutcome_) return {IoState::Incomplete};
    writePending_ = false;
    return *std::exchange(writeOutcome_, std::nullopt);
}

DeviceStatus FakeSerialDevice::resetWrite() {
    std::lock_guard lock(mutex_);
    return enter(Call::ResetWrite);
}

DeviceStatus FakeSerialDevice::purge(std::uint32_t what) {
    std::lock_guard lock(mutex_);
    const DeviceStatus status = enter(Call::Purge);
    if (!status.ok()) return status;
    if (what & PurgeBit::RxClear) input_.clear();
    if (readPending_ && (what & PurgeBit::RxAbort)) readAborted_ = true;
    if (writePending_ && (what & PurgeBit::TxAbort)) writeOutcome_ = IoResult{IoState::Aborted, ECANCELED};
    changed_.notify_all();
    return status;
}

WaitOutcome FakeSerialDevice::waitFor(bool readPending, bool eventWaitPending, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (const DeviceStatus status = enter(Call::WaitFor); !status.ok() && (readPending || eventWaitPending)) {
        return {WaitOutcome::Failed, status.error};
    }
    WaitOutcome outcome{WaitOutcome::TimedOut};
    auto signalled = [&] {
        if (readPending && (readSignalled_ || readAborted_)) {
            readSignalled_ = false;
            outcome = {WaitOutcome::ReadSignalled};
            return true;
        }
        if (eventWaitPending && (eventWaitEnded_ || eventSignalled_)) {
            eventWaitPending_ = eventWaitEnded_ = eventSignalled_ = false;
            outcome = {WaitOutcome::EventSignalled};
            return true;
        }
        const std::uint32_t events = raisedEvents_ & eventMask_;
        if (eventWaitPending && events) {
            raisedEvents_ = 0;
            eventWaitPending_ = false;
            outcome = {WaitOutcome::EventSignalled, 0, events};
            return true;
        }
        return false;
    };
    changed_.wait_for(lock, timeout, signalled);
    return outcome;
}

DeviceStatus FakeSerialDevice::close() {
    std::lock_guard lock(mutex_);
    const DeviceStatus status = enter(Call::Close);
    closed_ = true;
    changed_.notify_all();
    return status;
}
