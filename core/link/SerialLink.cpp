#include "link/SerialLink.h"

#include "link/NetworkPortName.h"
#include "link/PortName.h"
#include "link/WorkThread.h"

#include <cerrno>
#include <chrono>

namespace {

constexpr auto WorkerWaitSlice = std::chrono::milliseconds(75);
constexpr int CloseWaitSlices = 15;
constexpr int DestroyWaitSlices = 10;

struct DelayRow {
    std::uint32_t baud;
    std::uint32_t microsecondsPerChar;
};

constexpr DelayRow charDelays[] = {
    {110, 100000}, {300, 37000}, {600, 18000}, {1200, 9000}, {2400, 4500}, {4800, 2300}, {9600, 1100}, {14400, 760},
    {19200, 570},  {38400, 290}, {56000, 200}, {57600, 190}, {115200, 95}, {128000, 85}, {256000, 43},
};

} // namespace

TSerialLink::TickSource TSerialLink::defaultTicks() {
    return [] {
        using namespace std::chrono;
        return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
}

TSerialLink::TSerialLink(DeviceOpener opener, TickSource ticks) : opener_(std::move(opener)), ticks_(std::move(ticks)) {
    worker_ = std::make_unique<TWorkThread>(*this);
}

TSerialLink::~TSerialLink() {
    destroying_ = true;
    // From here nothing is raised, so a worker waiting on the GUI thread may go on at once.
    handOff_.cancel();
    if (active_) close();
    stopWorker_ = true;
    wakeWorker();
    waitWorkerIdle(DestroyWaitSlices);
    worker_.reset(); // joins the thread
    std::lock_guard lock(queueMutex_);
    clusters_.clear();
}

void TSerialLink::setActive(bool active) {
    if (active == active_) return;
    if (active)
        open();
    else
        close();
}

void TSerialLink::setCommPort(const std::string& name) {
    if (name == commPort_) return;
    // Kept whole, however long: an overlong name fails to open as a port that does not exist.
    commPort_ = name;
    if (active_) {
        close();
        open();
    }
}

void TSerialLink::setBaudRate(std::uint32_t baud) {
    if (baud == baudRate_) return;
    baudRate_ = baud;
    if (xtoAuto_) AutoCharDelays();
    if (active_) ApplyLineSettings();
}

void TSerialLink::setXONLimDiv(std::uint8_t percent) {
    if (percent > 100) {
        report(Report::XonLimitCapped, percent);
        percent = 100;
    }
    applyIfChanged(xonLimDiv_, percent);
}

void TSerialLink::setXOFFLimDiv(std::uint8_t percent) {
    if (percent > 100) {
        report(Report::XoffLimitCapped, percent);
        percent = 100;
    }
    applyIfChanged(xoffLimDiv_, percent);
}

void TSerialLink::requestQueueSizes(const LinkReport& failure) {
    const DeviceStatus status = device_ ? device_->setBufferSizes(rxQueueSize_, txQueueSize_) : DeviceStatus{EBADF};
    if (!status.ok()) report(failure, status.error);
}

void TSerialLink::setRxQueueSize(std::uint16_t bytes) {
    if (bytes == rxQueueSize_) return;
    rxQueueSize_ = bytes;
    requestQueueSizes(Report::RxQueueSizeRefused);
}

void TSerialLink::setTxQueueSize(std::uint16_t bytes) {
    if (bytes == txQueueSize_) return;
    txQueueSize_ = bytes;
    requestQueueSizes(Report::TxQueueSizeRefused);
}

void TSerialLink::setXTOAuto(bool on) {
    if (on == xtoAuto_) return;
    xtoAuto_ = on;
    if (on) AutoCharDelays();
}

void TSerialLink::setRTSState(bool raised) {
    if (active_) driveRts(raised);
}

void TSerialLink::setDTRState(bool raised) {
    if (active_) driveDtr(raised);
}

void TSerialLink::driveRts(bool raised) {
    const DeviceStatus status = device_->setRts(raised);
    if (!status.ok()) report(raised ? Report::SetRtsFailed : Report::ClearRtsFailed, status.error);
    rtsState_ = raised;
}

void TSerialLink::driveDtr(bool raised) {
    const DeviceStatus status = device_->setDtr(raised);
    if (!status.ok()) report(raised ? Report::SetDtrFailed : Report::ClearDtrFailed, status.error);
    dtrState_ = raised;
}

void TSerialLink::setBREAKState(bool on) {
    if (!active_) return;
    const DeviceStatus status = device_->setBreak(on);
    if (!status.ok()) report(on ? Report::SetBreakFailed : Report::ClearBreakFailed, status.error);
    breakState_ = on;
}

void TSerialLink::setHandler(Event event, NotifyEvent handler) {
    const bool present = static_cast<bool>(handler);
    handlers_[event] = std::move(handler);
    if (present)
        handlerMask_ |= 1u << event;
    else
        handlerMask_ &= ~(1u << event);
}

void TSerialLink::setOnProcessError(NotifyErrorEvent handler) {
    hasErrorHandler_ = static_cast<bool>(handler);
    onProcessError_ = std::move(handler);
}

void TSerialLink::raise(Event event) {
    if (destroying_ || !handlers_[event]) return;
    // A copy, so a handler that replaces itself does not pull the rug from under its own call.
    const NotifyEvent handler = handlers_[event];
    handler(*this);
}

void TSerialLink::ReportError(std::uint32_t place, std::uint32_t code, std::uint8_t noise, const std::string& msg) {
    if (destroying_ || noise > errorNoise_ || !onProcessError_) return;
    const NotifyErrorEvent handler = onProcessError_;
    handler(*this, place, code, msg, noise);
}

void TSerialLink::open() {
    report(Report::Reactivating);
    int error = 0;
    auto device = opener_(commPort_, error);
    if (!device) {
        report(Report::OpenFailed, static_cast<std::uint32_t>(error));
        failOpen(error, faultForError(error));
        return;
    }
    {
        std::lock_guard lock(deviceMutex_);
        device_ = std::move(device);
        ++generation_;
    }
    requestQueueSizes(Report::QueueSizeSetupFailed);
    // A line left at some other speed would talk to nobody, and one whose server did not take its
    // settings may not be there at all: either is a failed open, said as such.
    if (const DeviceStatus line = ApplyLineSettings();
        line.fault != PortFault::None && line.fault != PortFault::Other) {
        device_->close();
        {
            std::lock_guard lock(deviceMutex_);
            device_.reset();
        }
        failOpen(line.error, line.fault);
        return;
    }
    lastFailure_ = {};
    active_ = true;
    driveDtr(true);
    driveRts(true);
    if (const DeviceStatus status = device_->setEventMask(CommEventBit::All); !status.ok())
        report(Report::EnableEventsFailed, status.error);
    wakeWorker();
}

void TSerialLink::close() {
    report(Report::Deactivating);
    if (const DeviceStatus status = device_->setEventMask(0); !status.ok())
        report(Report::DisableEventsFailed, status.error);
    active_ = false;
    if (const DeviceStatus status = device_->purge(PurgeBit::All); !status.ok())
        report(Report::ClearQueuesFailed, status.error);
    // A worker waiting to hand something to this thread would wait for us while we wait for it: what
    // it has for a port being closed is dropped instead. One that found the device gone no longer
    // touches it.
    if (!isLost(generation_)) {
        handOff_.dropWaiting();
        if (!waitWorkerIdle(CloseWaitSlices)) report(Report::ThreadIsRunning);
    }
    driveDtr(false);
    driveRts(false);
    const DeviceStatus status = device_->close();
    {
        std::lock_guard lock(deviceMutex_);
        device_.reset();
    }
    if (!status.ok()) report(Report::CloseFailed, status.error);
}

void TSerialLink::failOpen(int error, PortFault fault) {
    lastFailure_ = describePortFailure(devicePathOrName(), error, fault);
    if (fault == PortFault::BadSpeed) lastFailure_.speed = baudRate_;
}

std::string TSerialLink::devicePathOrName() const {
    if (isNetworkPortName(commPort_)) return commPort_;
    return devicePathForPort(commPort_).value_or(commPort_);
}

bool TSerialLink::dropUnansweredLine() {
    if (!active_ || !device_ || !device_->reconnectsWhenUnanswered()) return false;
    close();
    return true;
}

void TSerialLink::noteIfGone(int error) {
    if (meansLineGone(faultForError(error))) deviceGone(generation_, error);
}

void TSerialLink::deviceGone(std::uint64_t generation, int error) {
    if (lostGeneration_.exchange(generation) == generation) return; // said once per loss
    wakeWorker();
    // Queued, not handed off: closing waits for the worker, which must not be waiting for us.
    poster_.post([this, generation, error] {
        if (!active_ || generation_ != generation) return; // closed or moved on since
        close();
        lastFailure_ = describePortFailure(devicePathOrName(), error);
        raise(OnDeviceLost);
    });
}

bool TSerialLink::waitWorkerIdle(int slices) {
    std::unique_lock lock(workerMutex_);
    return workerIdle_.wait_for(lock, WorkerWaitSlice * slices, [this] { return !threadRunning_; });
}

DeviceStatus TSerialLink::ApplyLineSettings() {
    LineSettings line;
    if (const DeviceStatus status = device_->getLineSettings(line); !status.ok()) {
        report(Report::GetLineSettingsFailed, status.error);
        return status;
    }
    line.baudRate = baudRate_;
    line.flags = LineFlag::Binary;
    if (parityType_ != 0) line.flags |= LineFlag::CheckParity;
    if (parityErrorReplacement_) line.flags |= LineFlag::ReplaceParityErrors;
    line.flags |= static_cast<std::uint32_t>(flowControl_);
    if (stripNullChars_) line.flags |= LineFlag::DiscardNulls;
    line.parity = parityType_;
    line.errorChar = parityErrorChar_;
    line.eventChar = eventChar_;
    line.stopBits = stopBits_;
    line.byteSize = dataBits_;
    line.xonChar = xonChar_;
    line.xoffChar = xoffChar_;
    line.xonLimit = static_cast<std::uint16_t>(rxQueueSize_ * xonLimDiv_ / 100);
    line.xoffLimit = static_cast<std::uint16_t>(rxQueueSize_ * xoffLimDiv_ / 100);
    line.eofChar = 0;

    CommTimeouts timeouts;
    DeviceStatus status = device_->getTimeouts(timeouts);
    if (status.ok()) {
        timeouts = {0xFFFFFFFF, 0, 0, 0, 0};
        status = device_->setTimeouts(timeouts);
    }
    if (!status.ok()) report(Report::LineTimeoutsFailed, status.error);

    status = device_->setLineSettings(line);
    if (!status.ok()) report(Report::LineSettingsRefused, status.error);
    return status;
}

void TSerialLink::AutoCharDelays() {
    std::uint32_t delay = 1100;
    for (const auto& row : charDelays)
        if (baudRate_ >= row.baud) delay = row.microsecondsPerChar;
    rtoCharDelayTime_ = delay;
    wtoCharDelayTime_ = delay;
}

void TSerialLink::SendData(const std::uint8_t* buffer, std::uint32_t count) {
    if (sendInProgress_) {
        report(Report::SendWhileSending);
        return;
    }
    CommTimeouts timeouts;
    DeviceStatus status = device_ ? device_->getTimeouts(timeouts) : DeviceStatus{EBADF};
    if (status.ok()) {
        const std::uint32_t total = count * wtoCharDelayTime_ / 1000 + wtoExtraDelayTime_;
        timeouts = {0xFFFFFFFF, 0, 0, 0, total};
        status = device_->setTimeouts(timeouts);
    }
    if (!status.ok()) report(Report::SendTimeoutsFailed, status.error);

    sendCount_ = count;
    const IoResult result = device_ ? device_->startWrite({buffer, count}) : IoResult{IoState::Failed, EBADF};
    switch (result.state) {
    case IoState::Done:
        writtenBytes_ = result.bytes;
        raise(OnWriteDone);
        break;
    case IoState::Pending:
        sendInProgress_ = true;
        break;
    default:
        report(Report::WriteFailed, static_cast<std::uint32_t>(result.error));
        if (active_) noteIfGone(result.error);
        if (device_)
            if (const DeviceStatus reset = device_->resetWrite(); !reset.ok())
                report(Report::ResetWriteEventFailed, reset.error);
        sendInProgress_ = false;
        break;
    }
}

std::string TSerialLink::TakeNextCluster() {
    std::lock_guard lock(queueMutex_);
    if (clusters_.empty()) return {};
    const TRxCluster& oldest = clusters_.front();
    std::string bytes(oldest.data.begin(), oldest.data.end());
    clusters_.pop_front();
    return bytes;
}

std::size_t TSerialLink::QueuedClusters() const {
    std::lock_guard lock(queueMutex_);
    return clusters_.size();
}

std::shared_ptr<SerialDevice> TSerialLink::deviceFor(std::uint64_t& generation) {
    std::lock_guard lock(deviceMutex_);
    generation = generation_;
    return device_;
}

void TSerialLink::setThreadRunning(bool running) {
    {
        std::lock_guard lock(workerMutex_);
        threadRunning_ = running;
    }
    if (!running) workerIdle_.notify_all();
}

void TSerialLink::waitForWork(std::chrono::milliseconds idle) {
    std::unique_lock lock(workerMutex_);
    workerWake_.wait_for(lock, idle, [this] { return (active_ && lostGeneration_ != generation_) || stopWorker_; });
}

void TSerialLink::wakeWorker() {
    // Taking the lock orders this with the worker's check, so the wake-up cannot fall between.
    { std::lock_guard lock(workerMutex_); }
    workerWake_.notify_all();
}

bool TSerialLink::queueCluster(TRxCluster cluster, std::uint64_t readEpoch) {
    std::lock_guard lock(queueMutex_);
    if (readEpoch != inputEpoch_) return false;
    clusters_.push_back(std::move(cluster));
    return true;
}

void TSerialLink::discardInput() {
    std::lock_guard input(inputMutex_);
    if (device_)
        if (const DeviceStatus status = device_->purge(PurgeBit::Input); !status.ok())
            report(Report::ClearQueuesFailed, status.error);
    // Only after the device's queue is empty: whatever the worker read before then counts as old.
    std::lock_guard lock(queueMutex_);
    ++inputEpoch_;
    clusters_.clear();
}

void TSerialLink::discardOutput() {
    if (!device_) return;
    if (const DeviceStatus status = device_->purge(PurgeBit::Output); !status.ok())
        report(Report::ClearQueuesFailed, status.error);
    if (const DeviceStatus status = device_->resetWrite(); !status.ok())
        report(Report::ResetWriteEventFailed, status.error);
    sendInProgress_ = false;
}
