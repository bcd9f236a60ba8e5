#include "exchange/KeyExchange.h"

namespace {

constexpr int ReplyTimeoutMs = 1500;
constexpr int LampsOnMs = 2000;
constexpr int WriteStallMs = 500;
constexpr int ReconnectMs = 1000;

} // namespace

KeyExchange::KeyExchange(TSerialLink& port, const std::uint8_t& idByte, PanelLookup activePanel, LinkReporter report)
    : port_(port), idByte_(idByte), activePanel_(std::move(activePanel)), report_(std::move(report)) {
    port_timeout_tmr.setInterval(ReplyTimeoutMs);
    timer_lightoff.setInterval(LampsOnMs);
    reconnect_tmr.setInterval(ReconnectMs);
    write_stall_tmr.setInterval(WriteStallMs);
    write_stall_tmr.setSingleShot(true);
    port_.setHandler(TSerialLink::OnRxClusterEvent, [this](TSerialLink&) { port1RxClusterEvent(); });
    port_.setHandler(TSerialLink::OnWriteDone, [this](TSerialLink&) { port1WriteDone(); });
    port_.setHandler(TSerialLink::OnDeviceLost, [this](TSerialLink&) { port1DeviceLost(); });
}

KeyExchange::~KeyExchange() {
    port_.setHandler(TSerialLink::OnRxClusterEvent, {});
    port_.setHandler(TSerialLink::OnWriteDone, {});
    port_.setHandler(TSerialLink::OnDeviceLost, {});
}

void KeyExchange::SendKey(std::uint8_t key) {
    // A press is the user asking for the line: look for the device at once, not at the next tick.
    if (tag_ == NoPort && lookingForDevice() && !reopen()) {
        showNoLineLamp();
        return;
    }
    if (tag_ != Ready) return;
    tag_ = AwaitingReply;
    // Only an answer to this frame counts: a late answer to an earlier one, or noise, is not one.
    port_.discardInput();
    ShowSending();
    timer_lightoff.stop();
    port_timeout_tmr.start(); // a running timer counts again from now
    frame_ = KeyFrame::make(idByte_, key);
    nextByte_ = 0;
    writeFrameOn();
}

// One byte per write: the recorders expect the frame that way. A write that completes at once is
// followed by the next at once; a pending one goes on when the link says it is done.
void KeyExchange::writeFrameOn() {
    while (nextByte_ < frame_.size()) {
        port_.SendData(&frame_[nextByte_], 1);
        if (port_.SendInProgress()) {
            writePending_ = true;
            write_stall_tmr.start();
            return;
        }
        ++nextByte_;
    }
}

void KeyExchange::port1WriteDone() {
    // Also raised for a write that completed inside SendData; only a pending one is waited for.
    if (!writePending_) return;
    writePending_ = false;
    write_stall_tmr.stop();
    ++nextByte_;
    writeFrameOn();
}

void KeyExchange::write_stall_tmrTimer() {
    if (!writePending_) return;
    // When the line moves again it must carry neither the rest of this frame nor a stale one.
    port_.discardOutput();
    port_timeout_tmr.stop();
    ShowNoLine();
}

void KeyExchange::port1RxClusterEvent() {
    const std::string cluster = port_.TakeNextCluster();
    if (tag_ != AwaitingReply) return;
    for (const char c : cluster) {
        if (c == KeyFrame::ReplyOk)
            ShowOk();
        else if (c == KeyFrame::ReplyBusy)
            ShowBusy();
        else
            continue;
        port_timeout_tmr.stop();
        endExchange();
        timer_lightoff.start();
        return;
    }
}

void KeyExchange::port_timeout_tmrTimer() {
    port_timeout_tmr.stop();
    ShowNoLine();
    // A network line that did not answer is connected afresh, quietly: the frames still on their way
    // go with the old connection, and the new one must answer before a frame is written again.
    if (port_.dropUnansweredLine()) {
        tag_ = NoPort;
        lookForDevice(true);
        reopen();
    }
}

void KeyExchange::timer_lightoffTimer() {
    LampsOff();
    timer_lightoff.stop();
}

void KeyExchange::ShowNoLine() {
    showNoLineLamp();
    endExchange();
}

// Whatever of the frame is not out yet stays unsent.
void KeyExchange::endExchange() {
    write_stall_tmr.stop();
    writePending_ = false;
    nextByte_ = frame_.size();
    tag_ = Ready;
}

void KeyExchange::showNoLineLamp() {
    show(LampDisplay::ShowNoLine);
    timer_lightoff.start();
}

void KeyExchange::OpenPort() {
    lookForDevice(false);
    port_.setActive(true);
    if (port_.Active()) {
        port_.discardInput();
        tag_ = Ready;
        report_(LinkEvent::Connected, {});
        return;
    }
    const PortFailure failure = port_.LastFailure();
    tag_ = NoPort;
    // A network line connects in the background; its first outcome is told as the open's.
    openPending_ = failure.fault == PortFault::Connecting;
    if (!openPending_) report_(LinkEvent::OpenFailed, failure);
    if (mayComeBack(failure.fault)) lookForDevice(true);
}

void KeyExchange::ClosePort() {
    lookForDevice(false);
    openPending_ = false;
    // An exchange under way ends here, so none of its timers fires on the port that comes next.
    port_timeout_tmr.stop();
    endExchange();
    port_.setActive(false);
}

void KeyExchange::lookForDevice(bool on) {
    lookingForDevice_ = on;
    if (on)
        reconnect_tmr.start();
    else
        reconnect_tmr.stop();
}

bool KeyExchange::reopen() {
    port_.setActive(true);
    if (!port_.Active()) {
        const PortFailure failure = port_.LastFailure();
        if (openPending_ && failure.fault != PortFault::Connecting) {
            openPending_ = false;
            report_(LinkEvent::OpenFailed, failure);
            if (!mayComeBack(failure.fault)) lookForDevice(false);
        } else {
            report_(LinkEvent::StillAway, failure);
        }
        return false;
    }
    openPending_ = false;
    lookForDevice(false);
    port_.discardInput();
    tag_ = Ready;
    report_(LinkEvent::Connected, {});
    return true;
}

void KeyExchange::port1DeviceLost() {
    // The press that found the line dead ends here, not at its time-out.
    if (tag_ == AwaitingReply) {
        port_timeout_tmr.stop();
        showNoLineLamp();
    }
    endExchange();
    tag_ = NoPort;
    lookForDevice(true);
    report_(LinkEvent::Lost, port_.LastFailure());
}

void KeyExchange::show(LampDisplay display) {
    if (LampPanel* panel = activePanel_()) panel->showLampDisplay(display);
}
