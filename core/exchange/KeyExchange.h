#pragma once

#include "exchange/KeyFrame.h"
#include "exchange/LampDisplays.h"
#include "link/SerialLink.h"

#include "base/Timer.h"

#include <cstdint>
#include <functional>

// What the exchange tells its owner about the line, with the failure behind it where there is one.
enum class LinkEvent {
    Connected,  // the port is open: at OpenPort, or when a device that had gone is back
    OpenFailed, // OpenPort could not open the port (a network line: its first connection attempt failed)
    Lost,       // the open port's device went away
    StillAway,  // a quiet attempt to open the port again failed
};

// One key press, one key frame, one answer: sends a key's frame byte by byte, waits for the
// recorder's 'X' or 'Y' (or gives up after 1500 ms), and shows the outcome on the active panel's
// lamps. Only one exchange runs at a time. Nothing here waits: each step is an event (a byte
// written, a cluster received, a timer), so nothing else ever runs in the middle of a step.
// A device that is not there or has gone is looked for again every second and at every press, so
// plugging it back in is all it takes. A network line that leaves a frame unanswered is connected
// afresh, so a stalled network never delivers old presses when it wakes.
class KeyExchange {
public:
    // Exchange states.
    enum class State : std::uint8_t { Ready = 0, AwaitingReply = 1, NoPort = 255 };
    using enum State;

    using PanelLookup = std::function<LampPanel*()>;
    using LinkReporter = std::function<void(LinkEvent event, const PortFailure& failure)>;

    KeyExchange(TSerialLink& port, const std::uint8_t& idByte, PanelLookup activePanel, LinkReporter report);
    // The link may outlive the exchange: it must not call into a dead one.
    ~KeyExchange();
    KeyExchange(const KeyExchange&) = delete;
    KeyExchange& operator=(const KeyExchange&) = delete;

    State Tag() const { return tag_; }
    bool lookingForDevice() const { return lookingForDevice_; }

    void SendKey(std::uint8_t key);
    void OpenPort();
    // Closes the port for good: nothing looks for it again until the next OpenPort.
    void ClosePort();

    void LampsOff() { show(LampDisplay::LampsOff); }
    void ShowSending() { show(LampDisplay::ShowSending); }
    void ShowOk() { show(LampDisplay::ShowOk); }
    void ShowBusy() { show(LampDisplay::ShowBusy); }
    void ShowNoLine();

    Timer port_timeout_tmr{[this] { port_timeout_tmrTimer(); }};
    Timer timer_lightoff{[this] { timer_lightoffTimer(); }};
    Timer reconnect_tmr{[this] { reopen(); }};
    // How long one byte's write may stay pending before the frame is given up.
    Timer write_stall_tmr{[this] { write_stall_tmrTimer(); }};

private:
    void writeFrameOn();
    void port1WriteDone();
    void write_stall_tmrTimer();
    void endExchange();
    bool reopen();
    void lookForDevice(bool on);
    void showNoLineLamp();
    void port1RxClusterEvent();
    void port1DeviceLost();
    void port_timeout_tmrTimer();
    void timer_lightoffTimer();
    void show(LampDisplay display);

    TSerialLink& port_;
    const std::uint8_t& idByte_;
    PanelLookup activePanel_;
    LinkReporter report_;
    State tag_ = Ready;
    bool lookingForDevice_ = false;
    bool openPending_ = false; // OpenPort's network connection has not ended either way yet
    KeyFrame::Bytes frame_{};
    std::size_t nextByte_ = KeyFrame::Size; // the frame's next byte to write; Size when all are out
    bool writePending_ = false;
};
