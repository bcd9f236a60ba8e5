#include "exchange/KeyExchange.h"

#include "exchange/KeyFrame.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {

constexpr int ReplyTimeoutMs = 1500;
constexpr int LampsOnMs = 2000;
constexpr qint64 WriteStallMs = 500;
constexpr int ReconnectMs = 1000;

void pumpEventsOnce() {
    QCoreApplication::processEvents();
}

void restart(QTimer& timer) {
    timer.stop();
    timer.start();
}

} // namespace

KeyExchange::KeyExchange(TSerialLink& port, const std::uint8_t& idByte, PanelLookup activePanel, LinkReporter report,
                         QObject* parent)
    : QObject(parent), port_timeout_tmr(this), timer_lightoff(this), reconnect_tmr(this), port_(port), idByte_(idByte),
      activePanel_(std::move(activePanel)), report_(std::move(report)) {
    port_timeout_tmr.setInterval(ReplyTimeoutMs);
    timer_lightoff.setInterval(LampsOnMs);
    reconnect_tmr.setInterval(ReconnectMs);
    connect(&port_timeout_tmr, &QTimer::timeout, this, &KeyExchange::port_timeout_tmrTimer);
    connect(&timer_lightoff, &QTimer::timeout, this, &KeyExchange::timer_lightoffTimer);
    connect(&reconnect_tmr, &QTimer::timeout, this, &KeyExchange::reopen);
    port_.setHandler(TSerialLink::OnRxClusterEvent, [this](TSerialLink&) { port1RxClusterEvent(); });
    port_.setHandler(TSerialLink::OnDeviceLost, [this](TSerialLink&) { port1DeviceLost(); });
}

KeyExchange::~KeyExchange() {
    port_.setHandler(TSerialLink::OnRxClusterEvent, {});
    port_.setHandler(TSerialLink::OnDeviceLost, {});
}

void KeyExchange::SendKey(std::uint8_t key) {
    // A press is the user asking for the line: look for the device at once, not at the next tick.
    if (tag_ == NoPort && lookingForDevice() && !reopen()) {
        showNoLineLamp();
        return;
    }
    if (tag_ != Ready) return;
    // Set before the first pump, so a press handled meanwhile cannot start a second frame.
    tag_ = AwaitingReply;
    // Only an answer to this frame counts: a late answer to an earlier one, or noise, is not one.
    port_.discardInput();
    ShowSending();
    timer_lightoff.stop();
    restart(port_timeout_tmr);
    pumpEventsOnce();
    // One byte per write: the recorders expect the frame that way.
    for (std::uint8_t byte : KeyFrame::make(idByte_, key)) {
        port_.SendData(&byte, 1);
        if (!WaitSendDone()) {
            // When the line moves again it must carry neither half of this frame nor a stale one.
            port_.discardOutput();
            port_timeout_tmr.stop();
            ShowNoLine();
            return;
        }
    }
    pumpEventsOnce();
}

bool KeyExchange::WaitSendDone() {
    if (!port_.SendInProgress()) return true;
    QElapsedTimer started;
    started.start();
    // Wakes the waiting pump at least every millisecond, so the wait neither spins nor oversleeps.
    QTimer tick;
    tick.start(1);
    bool timedOut = false;
    while (port_.SendInProgress() && !timedOut) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (started.elapsed() > WriteStallMs) timedOut = true;
    }
    return !timedOut;
}

void KeyExchange::port1RxClusterEvent() {
    const std::string cluster = port_.TakeNextCluster();
    for (const char c : cluster) {
        if (tag_ != AwaitingReply) continue;
        const bool reply = c == KeyFrame::ReplyOk || c == KeyFrame::ReplyBusy;
        if (c == KeyFrame::ReplyOk)
            ShowOk();
        else if (c == KeyFrame::ReplyBusy)
            ShowBusy();
        pumpEventsOnce();
        if (reply) {
            port_timeout_tmr.stop();
            tag_ = Ready;
            restart(timer_lightoff);
        }
    }
}

void KeyExchange::port_timeout_tmrTimer() {
    port_timeout_tmr.stop();
    ShowNoLine();
}

void KeyExchange::timer_lightoffTimer() {
    LampsOff();
    timer_lightoff.stop();
}

void KeyExchange::ShowNoLine() {
    showNoLineLamp();
    tag_ = Ready;
}

void KeyExchange::showNoLineLamp() {
    show(LampDisplay::ShowNoLine);
    restart(timer_lightoff);
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
    report_(LinkEvent::OpenFailed, failure);
    tag_ = NoPort;
    if (mayComeBack(failure.fault)) lookForDevice(true);
}

void KeyExchange::ClosePort() {
    lookForDevice(false);
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
        report_(LinkEvent::StillAway, port_.LastFailure());
        return false;
    }
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
    tag_ = NoPort;
    lookForDevice(true);
    report_(LinkEvent::Lost, port_.LastFailure());
}

void KeyExchange::show(LampDisplay display) {
    if (LampPanel* panel = activePanel_()) panel->showLampDisplay(display);
}
