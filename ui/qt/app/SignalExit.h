#pragma once

#include "posix/UniqueFd.h"

#include <QObject>

#include <array>
#include <csignal>
#include <functional>

// Ends the program in order when the session or a user asks it to: SIGTERM, SIGINT and SIGHUP run the
// given orderly exit from the event loop, as the close key would. The handler only writes the signal
// to a pipe that the event loop watches, after putting the three signals back to their default
// action, so a second one ends the program at once should the orderly exit not get through.
// One at a time in a process; the signals' earlier handling comes back when it goes.
class SignalExit : public QObject {
public:
    static constexpr std::array<int, 3> Signals = {SIGTERM, SIGINT, SIGHUP};

    explicit SignalExit(std::function<void()> orderlyExit, QObject* parent = nullptr);
    ~SignalExit() override;
    SignalExit(const SignalExit&) = delete;
    SignalExit& operator=(const SignalExit&) = delete;

private:
    void received();

    UniqueFd readEnd_;
    UniqueFd writeEnd_;
    std::function<void()> orderlyExit_;
    std::array<struct sigaction, Signals.size()> previous_{};
    bool exiting_ = false;
};
