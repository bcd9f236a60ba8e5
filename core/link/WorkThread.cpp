#include "link/WorkThread.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr auto PassWait = std::chrono::milliseconds(75);
constexpr auto IdleCheck = std::chrono::milliseconds(200);

// Line events in the order their notifications are raised.
struct EventRow {
    std::uint32_t bit;
    TSerialLink::Event event;
};
constexpr EventRow dispatchOrder[] = {
    {CommEventBit::Break, TSerialLink::OnBreakEvent},
    {CommEventBit::Cts, TSerialLink::OnCTSEvent},
    {CommEventBit::Dsr, TSerialLink::OnDSREvent},
    {CommEventBit::LineError, TSerialLink::OnLineErrorEvent},
    {CommEventBit::Ring, TSerialLink::OnRingEvent},
    {CommEventBit::Rlsd, TSerialLink::OnRLSDEvent},
    {CommEventBit::RxChar, TSerialLink::OnRxCharEvent},
    {CommEventBit::RxFlag, TSerialLink::OnRxEventCharEvent},
    {CommEventBit::TxEmpty, TSerialLink::OnTxQueueEmptyEvent},
};

} // namespace

TWorkThread::TWorkThread(TSerialLink& port) : port_(port), nextWait_(PassWait), thread_([this] { Execute(); }) {}

TWorkThread::~TWorkThread() {
    if (thread_.joinable()) thread_.join();
}

void TWorkThread::Execute() {
    bool activeMode = false;
    for (;;) {
        if (activeMode) {
            port_.setThreadRunning(true);
            activeMode = activePass();
        } else {
            port_.setThreadRunning(false);
            device_.reset(); // the last owner of a closed port lets its descriptor go here
            activeMode = enterActiveMode();
            if (!activeMode && !port_.stopRequested()) port_.waitForWork(IdleCheck);
        }
        if (port_.stopRequested() && !activeMode) break;
    }
    device_.reset();
    port_.setThreadRunning(false);
}

bool TWorkThread::enterActiveMode() {
    if (!port_.Active()) return false;
    device_ = port_.deviceFor(generation_);
    if (!device_ || lost()) return false;
    readPending_ = waitPending_ = false;
    referenceTick_ = 0;
    lastPoll_ = {};
    unreadErrors_ = 0;
    return true;
}

bool TWorkThread::activePass() {
    nextWait_ = PassWait;
    if (active()) PollLineStatus();
    CheckWrite();
    if (!readPending_ && active()) TryRead();
    if (!waitPending_ && active()) {
        StartEventWait();
        // Bytes that came between the look at the line above and the start of the wait raise no
        // event (as on Windows, the wait counts from its start): look again, or they would wait out
        // the whole pass.
        if (waitPending_ && !readPending_ && active()) {
            PollLineStatus();
            TryRead();
        }
    }
    if (!lost()) waitForPending();
    return active() || !windDown();
}

void TWorkThread::waitForPending() {
    if (readPending_ && waitPending_) {
        const WaitOutcome outcome = device_->waitFor(true, true, nextWait_);
        if (active()) PollLineStatus();
        switch (outcome.kind) {
        case WaitOutcome::ReadSignalled:
            FinishRead();
            break;
        case WaitOutcome::EventSignalled:
            FinishEventWait(outcome.eventMask);
            break;
        case WaitOutcome::TimedOut:
            break;
        case WaitOutcome::Failed:
            handOffReport(Report::WaitBothFailed, outcome.error);
            readPending_ = waitPending_ = false;
            noteFailure(outcome.error);
            pause();
            break;
        }
    } else if (readPending_) {
        const WaitOutcome outcome = device_->waitFor(true, false, nextWait_);
        if (active()) PollLineStatus();
        if (outcome.kind == WaitOutcome::ReadSignalled) {
            FinishRead();
        } else if (outcome.kind == WaitOutcome::Failed) {
            handOffReport(Report::WaitReadFailed, outcome.error);
            readPending_ = false;
            noteFailure(outcome.error);
            pause();
        }
    } else if (waitPending_) {
        const WaitOutcome outcome = device_->waitFor(false, true, nextWait_);
        if (active()) PollLineStatus();
        if (outcome.kind == WaitOutcome::EventSignalled) {
            FinishEventWait(outcome.eventMask);
        } else if (outcome.kind == WaitOutcome::Failed) {
            handOffReport(Report::WaitEventFailed, outcome.error);
            waitPending_ = false;
            noteFailure(outcome.error);
            pause();
        }
    } else {
        pause();
    }
}

void TWorkThread::pause() {
    // Nothing to wait on, or a wait that failed, usually means the port's calls are failing: sit out
    // the pass instead of spinning through failures.
    if (!lost()) device_->waitFor(false, false, nextWait_);
}

void TWorkThread::noteFailure(int error) {
    if (meansLineGone(faultForError(error)) && active()) port_.deviceGone(generation_, error);
}

bool TWorkThread::windDown() {
    // Nothing pending on a device that has gone will ever finish; it goes as it is.
    if (lost()) readPending_ = waitPending_ = false;
    if (readPending_)
        if (const DeviceStatus status = device_->signalRead(); !status.ok())
            handOffReport(Report::SignalFailed, status.error);
    if (waitPending_) {
        device_->setEventMask(0);
        if (const DeviceStatus status = device_->signalEventWait(); !status.ok())
            handOffReport(Report::SignalFailed, status.error);
    }
    // A send in progress on a port opened since belongs to that port, not to this one.
    const bool sending = port_.sendInProgress_ && ownsCurrentPort();
    return !readPending_ && !waitPending_ && !sending;
}

void TWorkThread::PollLineStatus() {
    std::uint32_t modem = 0;
    if (const DeviceStatus status = device_->readModemStatus(modem); status.ok()) {
        const bool ringChanged = ((modem ^ port_.modemState_) & ModemBit::Ring) != 0;
        port_.modemState_ = modem;
        port_.ctsState_ = (modem & ModemBit::Cts) != 0;
        port_.dsrState_ = (modem & ModemBit::Dsr) != 0;
        port_.rlsdState_ = (modem & ModemBit::Rlsd) != 0;
        port_.ringState_ = (modem & ModemBit::Ring) != 0;
        if (ringChanged) handOffEvent(TSerialLink::OnRIEvent);
    } else {
        handOffReport(Report::ModemStatusFailed, status.error);
        noteFailure(status.error);
    }

    LineStatus line;
    if (const DeviceStatus status = device_->readLineStatus(line); status.ok()) {
        lastPoll_ = line;
        // Reading the status clears its errors; keep them until a read has taken them along.
        unreadErrors_ |= line.errors;
        const bool changed = line.errors != port_.commError_ || line.flags != port_.commStateFlags_ ||
                             line.inQueue != port_.commStateInQueue_ || line.outQueue != port_.commStateOutQueue_;
        if (changed) {
            port_.commError_ = line.errors;
            port_.commStateFlags_ = line.flags;
            port_.commStateInQueue_ = line.inQueue;
            port_.commStateOutQueue_ = line.outQueue;
            handOffEvent(TSerialLink::OnCommStat);
        }
    } else {
        handOffReport(Report::LineStatusFailed, status.error);
        noteFailure(status.error);
    }
}

void TWorkThread::TryRead() {
    const std::uint32_t queued = lastPoll_.inQueue;
    if (queued == 0) {
        referenceTick_ = port_.ticks_();
        return;
    }
    const std::uint32_t waited = port_.ticks_() - referenceTick_;
    const double burstTime = queued * static_cast<double>(port_.rtoCharDelayTime_) / 1000.0 + port_.rtoExtraDelayTime_;
    const bool due = port_.readRequest_ || queued >= port_.clusterSize_ || waited > burstTime ||
                     (unreadErrors_ & LineErrorBit::AnyReceiveError) != 0;
    if (!due) {
        // Wake up when the burst falls due rather than a whole pass later.
        const auto left = static_cast<long>(std::floor(burstTime - waited)) + 1;
        nextWait_ = std::clamp(std::chrono::milliseconds(left), std::chrono::milliseconds(1), PassWait);
        return;
    }
    // A read and the queueing of what it brought are one step that a discard of the input waits for.
    std::unique_lock input(port_.inputMutex_);
    readEpoch_ = port_.inputEpoch();
    IoResult result = device_->startRead(queued);
    const bool kept = result.state == IoState::Done && keepCluster(std::move(result.data));
    input.unlock();
    switch (result.state) {
    case IoState::Done:
        port_.readRequest_ = false;
        if (kept) handOffEvent(TSerialLink::OnRxClusterEvent);
        referenceTick_ = port_.ticks_();
        break;
    case IoState::Pending:
        readPending_ = true;
        break;
    default:
        port_.readRequest_ = false;
        lastError_ = result.error;
        handOffReport(Report::ReadFailed, result.error);
        noteFailure(result.error);
        break;
    }
}

void TWorkThread::StartEventWait() {
    const IoResult result = device_->startEventWait();
    switch (result.state) {
    case IoState::Done:
        PollLineStatus();
        DispatchCommEvents(result.eventMask);
        break;
    case IoState::Pending:
        waitPending_ = true;
        break;
    default:
        lastError_ = result.error;
        handOffReport(Report::EventWaitFailed, result.error);
        noteFailure(result.error);
        break;
    }
}

void TWorkThread::FinishRead() {
    std::unique_lock input(port_.inputMutex_);
    IoResult result = device_->readResult();
    const bool kept = result.state == IoState::Done && keepCluster(std::move(result.data));
    input.unlock();
    if (result.state == IoState::Done) {
        if (kept) handOffEvent(TSerialLink::OnRxClusterEvent);
        referenceTick_ = port_.ticks_();
    } else {
        lastError_ = result.error;
        handOffReport(result.state == IoState::Aborted ? Report::ReadAborted : Report::ReadResultFailed, result.error);
        if (result.state != IoState::Aborted) noteFailure(result.error);
    }
    readPending_ = false;
}

void TWorkThread::FinishEventWait(std::uint32_t mask) {
    if (active()) {
        PollLineStatus();
        DispatchCommEvents(mask);
    }
    waitPending_ = false;
}

void TWorkThread::CheckWrite() {
    if (!port_.sendInProgress_ || !ownsCurrentPort()) return;
    const IoResult result = device_->writeResult();
    switch (result.state) {
    case IoState::Done:
        port_.writtenBytes_ = result.bytes;
        port_.sendInProgress_ = false;
        if (result.bytes != port_.sendCount_) handOffReport(Report::WriteTimedOut, lastError_);
        handOffEvent(TSerialLink::OnWriteDone);
        break;
    case IoState::Incomplete:
        break;
    default:
        port_.sendInProgress_ = false;
        lastError_ = result.error;
        if (const DeviceStatus status = device_->resetWrite(); !status.ok())
            handOffReport(Report::ResetWriteEventFailed, status.error);
        handOffReport(Report::WriteResultFailed, result.error);
        noteFailure(result.error);
        handOffEvent(TSerialLink::OnWriteDone);
        break;
    }
}

bool TWorkThread::keepCluster(std::vector<std::uint8_t> bytes) {
    if (port_.destroying_) return false;
    return port_.queueCluster({std::move(bytes), std::exchange(unreadErrors_, 0)}, readEpoch_);
}

void TWorkThread::DispatchCommEvents(std::uint32_t mask) {
    if (port_.destroying_) return;
    port_.commEvent_ = mask;
    for (const auto& row : dispatchOrder)
        if (mask & row.bit) handOffEvent(row.event);
    if (mask != 0) handOffEvent(TSerialLink::OnCommEvent);
}

void TWorkThread::handOffReport(const LinkReport& report, int code) {
    // A report nobody would see is not worth stopping the worker for.
    if (port_.threadQuietMode_ || !port_.reportReaches(report.noise)) return;
    TSerialLink& port = port_;
    port_.handOff_.run([&port, report, code] {
        port.ReportError(report.place, static_cast<std::uint32_t>(code), report.noise, report.msg);
    });
}

void TWorkThread::handOffEvent(TSerialLink::Event event) {
    if (port_.threadQuietMode_ || !port_.hasHandler(event)) return;
    TSerialLink& port = port_;
    port_.handOff_.run([&port, event] { port.raise(event); });
}
