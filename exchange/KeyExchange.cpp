#include "exchange/KeyExchange.h"

#include "exchange/KeyFrame.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {

constexpr int ReplyTimeoutMs = 1500;
constexpr int LampsOnMs = 2000;
constexpr qint64 WriteStallMs = 500;

void pumpEventsOnce() {
    QCoreApplication::processEvents();
}

void restart(QTimer& timer) {
    timer.stop();
    timer.start();
}

} // namespace

KeyExchange::KeyExchange(TSerialLink& port, const std::uint8_t& idByte, PanelLookup activePanel,
                         MessagePresenter showMessage, QObject* parent)
    : QObject(parent), port_timeout_tmr(this), timer_lightoff(this), port_(port), idByte_(idByte),
      activePanel_(std::move(activePanel)), showMessage_(std::move(showMessage)) {
    port_timeout_tmr.setInterval(ReplyTimeoutMs);
    timer_lightoff.setInterval(LampsOnMs);
    connect(&port_timeout_tmr, &QTimer::timeout, this, &KeyExchange::port_timeout_tmrTimer);
    connect(&timer_lightoff, &QTimer::timeout, this, &KeyExchange::timer_lightoffTimer);
    port_.setHandler(TSerialLink::OnRxClusterEvent, [this](TSerialLink&) { port1RxClusterEvent(); });
}

void KeyExchange::SendKey(std::uint8_t key) {
    if (tag_ != Ready) return;
    // Set before the first pump, so a press handled meanwhile cannot start a second frame.
    tag_ = AwaitingReply;
    ShowSending();
    timer_lightoff.stop();
    restart(port_timeout_tmr);
    pumpEventsOnce();
    // One byte per write: the recorders expect the frame that way.
    for (std::uint8_t byte : KeyFrame::make(idByte_, key)) {
        port_.SendData(&byte, 1);
        WaitSendDone();
    }
    pumpEventsOnce();
}

void KeyExchange::WaitSendDone() {
    if (!port_.SendInProgress()) return;
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
    if (timedOut) ShowNoLine();
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
    show(LampDisplay::ShowNoLine);
    restart(timer_lightoff);
    tag_ = Ready;
}

void KeyExchange::OpenPort() {
    port_.setActive(true);
    if (port_.Active()) {
        tag_ = Ready;
        return;
    }
    showMessage_(QStringLiteral("Ошибка подключения к COM порту"), QStringLiteral("Error connect"));
    tag_ = NoPort;
}

void KeyExchange::show(LampDisplay display) {
    if (LampPanel* panel = activePanel_()) panel->showLampDisplay(display);
}
