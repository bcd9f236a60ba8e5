#include "app/SignalExit.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<int> signalPipe{-1};

void onSignal(int signal) {
    const int savedErrno = errno;
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    for (const int s : SignalExit::Signals)
        sigaction(s, &byDefault, nullptr);
    const unsigned char number = static_cast<unsigned char>(signal);
    // The pipe does not block: with a full pipe the event loop has signals enough to read.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe.load(), &number, 1);
    errno = savedErrno;
}

} // namespace

SignalExit::SignalExit(std::function<void()> orderlyExit, QObject* parent)
    : QObject(parent), orderlyExit_(std::move(orderlyExit)) {
    int ends[2];
    // Without a pipe the signals keep their default action: they end the program, as before.
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readEnd_.reset(ends[0]);
    writeEnd_.reset(ends[1]);
    auto* notifier = new QSocketNotifier(readEnd_.get(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SignalExit::received);
    signalPipe = writeEnd_.get();
    struct sigaction handled {};
    handled.sa_handler = onSignal;
    sigemptyset(&handled.sa_mask);
    // Slow calls of any thread go on after the handler, not with EINTR.
    handled.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < Signals.size(); ++i)
        sigaction(Signals[i], &handled, &previous_[i]);
}

SignalExit::~SignalExit() {
    if (!writeEnd_.valid()) return;
    for (std::size_t i = 0; i < Signals.size(); ++i)
        sigaction(Signals[i], &previous_[i], nullptr);
    signalPipe = -1;
}

void SignalExit::received() {
    unsigned char numbers[64];
    while (::read(readEnd_.get(), numbers, sizeof numbers) > 0) {
    }
    if (exiting_) return;
    exiting_ = true;
    orderlyExit_();
}
