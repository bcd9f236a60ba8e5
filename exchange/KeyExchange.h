#pragma once

#include "exchange/LampDisplays.h"
#include "link/SerialLink.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>

// One key press, one key frame, one answer: sends a key's frame byte by byte, waits for the
// recorder's 'X' or 'Y' (or gives up after 1500 ms), and shows the outcome on the active panel's
// lamps. Only one exchange runs at a time; the waits pump events instead of blocking.
class KeyExchange : public QObject {
public:
    // Exchange states.
    static constexpr int Ready = 0;
    static constexpr int AwaitingReply = 1;
    static constexpr int NoPort = 255;

    using PanelLookup = std::function<LampPanel*()>;
    using MessagePresenter = std::function<void(const QString& text, const QString& caption)>;

    KeyExchange(TSerialLink& port, const std::uint8_t& idByte, PanelLookup activePanel, MessagePresenter showMessage,
                QObject* parent = nullptr);

    int Tag() const { return tag_; }

    void SendKey(std::uint8_t key);
    void OpenPort();

    void LampsOff() { show(LampDisplay::LampsOff); }
    void ShowSending() { show(LampDisplay::ShowSending); }
    void ShowOk() { show(LampDisplay::ShowOk); }
    void ShowBusy() { show(LampDisplay::ShowBusy); }
    void ShowNoLine();

    QTimer port_timeout_tmr;
    QTimer timer_lightoff;

private:
    void WaitSendDone();
    void port1RxClusterEvent();
    void port_timeout_tmrTimer();
    void timer_lightoffTimer();
    void show(LampDisplay display);

    TSerialLink& port_;
    const std::uint8_t& idByte_;
    PanelLookup activePanel_;
    MessagePresenter showMessage_;
    int tag_ = Ready;
};
