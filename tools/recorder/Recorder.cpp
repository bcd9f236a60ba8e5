#include "Recorder.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>

namespace {

// A line that hangs up keeps reporting it; waiting between looks keeps that from eating a CPU.
constexpr std::chrono::milliseconds HangUpRetry{200};

std::string timestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    ::localtime_r(&seconds, &local);
    std::array<char, 32> date{};
    std::strftime(date.data(), date.size(), "%Y-%m-%d %H:%M:%S", &local);
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%s.%03d", date.data(), static_cast<int>(millis));
    return text.data();
}

std::string hexByte(std::uint8_t byte) {
    std::array<char, 3> text{};
    std::snprintf(text.data(), text.size(), "%02X", byte);
    return text.data();
}

std::optional<std::uint8_t> replyFor(Answer answer) {
    switch (answer) {
    case Answer::Ok:
        return KeyFrame::ReplyOk;
    case Answer::Busy:
        return KeyFrame::ReplyBusy;
    case Answer::None:
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

void logLine(std::string_view text) {
    std::printf("%s %.*s\n", timestamp().c_str(), static_cast<int>(text.size()), text.data());
    std::fflush(stdout);
}

Recorder::Recorder(const Options& options, int lineFd, std::string linePath)
    : options_(options), lineFd_(lineFd), linePath_(std::move(linePath)) {}

std::optional<SystemError> Recorder::run(int stopFd) {
    while (true) {
        sendDueAnswers();
        const auto now = Clock::now();
        if (retryLineAt_ && now >= *retryLineAt_) retryLineAt_.reset();

        // A negative fd is skipped by poll, which keeps a hung-up line from waking us at once.
        std::array<pollfd, 2> fds = {pollfd{stopFd, POLLIN, 0}, pollfd{retryLineAt_ ? -1 : lineFd_, POLLIN, 0}};
        if (::poll(fds.data(), fds.size(), pollTimeoutMs(now)) < 0) {
            const SystemError error = errnoError("poll");
            if (error.code == std::errc::interrupted) continue;
            return error;
        }
        if (fds[0].revents != 0) return std::nullopt;
        if (fds[1].revents != 0)
            if (auto error = serviceLine(fds[1].revents)) return error;
    }
}

int Recorder::pollTimeoutMs(Clock::time_point now) const {
    std::optional<Clock::time_point> wakeAt = retryLineAt_;
    if (!pending_.empty() && (!wakeAt || pending_.front().due < *wakeAt)) wakeAt = pending_.front().due;
    if (!wakeAt) return -1;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*wakeAt - now);
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(wait.count(), 0));
}

std::optional<SystemError> Recorder::serviceLine(short revents) {
    if (revents & POLLNVAL)
        return SystemError{"poll " + linePath_, std::make_error_code(std::errc::bad_file_descriptor)};

    std::array<std::uint8_t, 256> buffer{};
    const ssize_t count = ::read(lineFd_, buffer.data(), buffer.size());
    const int error = count < 0 ? errno : 0;
    if (count > 0) {
        hungUp_ = false;
        const FrameReader::Output out = reader_.feed(std::span(buffer.data(), static_cast<std::size_t>(count)));
        if (out.skippedBytes != 0) logLine("skipped " + std::to_string(out.skippedBytes) + " bytes");
        for (const Frame& frame : out.frames)
            handleFrame(frame);
        return std::nullopt;
    }
    if (count == 0 || error == EIO || (revents & (POLLHUP | POLLERR))) {
        noteHangUp();
        return std::nullopt;
    }
    if (error == EAGAIN || error == EINTR) return std::nullopt;
    return SystemError{"read " + linePath_, std::error_code(error, std::generic_category())};
}

void Recorder::handleFrame(const Frame& frame) {
    const std::string heading = "frame id=" + hexByte(frame.id) + " key=" + hexByte(frame.key) + " answer=";
    if (options_.id && frame.id != *options_.id) {
        logLine(heading + "ignored(other id)");
        return;
    }
    const std::optional<std::uint8_t> reply = replyFor(options_.answer);
    if (!reply) {
        logLine(heading + "none");
        return;
    }
    logLine(heading + static_cast<char>(*reply));
    pending_.push_back({Clock::now() + options_.delay, *reply});
}

void Recorder::sendDueAnswers() {
    while (!pending_.empty() && pending_.front().due <= Clock::now()) {
        const std::uint8_t byte = pending_.front().byte;
        pending_.pop_front();
        if (::write(lineFd_, &byte, 1) == 1) continue;
        const SystemError error = errnoError("write", linePath_);
        logLine(std::string("answer ") + static_cast<char>(byte) + " not sent: " + error.describe());
    }
}

void Recorder::noteHangUp() {
    if (!hungUp_) logLine("line hung up, waiting for it to come back");
    hungUp_ = true;
    retryLineAt_ = Clock::now() + HangUpRetry;
}
