#pragma once

#include "FrameReader.h"
#include "Options.h"
#include "SystemError.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>

// Serves one serial line: logs every frame to stdout and answers those addressed to it.
class Recorder {
public:
    Recorder(const Options& options, int lineFd, std::string linePath);

    // Returns when stopFd becomes readable, or with an error when the line is unusable.
    std::optional<SystemError> run(int stopFd);

private:
    using Clock = std::chrono::steady_clock;

    struct DueAnswer {
        Clock::time_point due;
        std::uint8_t byte;
    };

    int pollTimeoutMs(Clock::time_point now) const;
    std::optional<SystemError> serviceLine(short revents);
    void handleFrame(const Frame& frame);
    void sendDueAnswers();
    void noteHangUp();

    const Options options_;
    const int lineFd_;
    const std::string linePath_;
    FrameReader reader_;
    std::deque<DueAnswer> pending_; // one delay for all, so always in due order
    std::optional<Clock::time_point> retryLineAt_;
    bool hungUp_ = false;
};

// Writes "YYYY-MM-DD hh:mm:ss.mmm text" to stdout and flushes, so a reader tailing it sees the line at once.
void logLine(std::string_view text);
