// Measures one key exchange end to end on a pseudo-terminal: from SendKey to the frame's fifth byte
// read on the far end, and from the recorder's reply written there to the ok lamp's display call.
// A thread that writes and reads the pseudo-terminal directly gives the baseline of the same run.

#include "exchange/KeyExchange.h"
#include "exchange/KeyExchangePort.h"
#include "tests/support/PtyPair.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5)];
}

class TimedPanel : public LampPanel {
public:
    void showLampDisplay(LampDisplay display) override {
        if (display == LampDisplay::ShowOk) okShown = Clock::now();
    }
    Clock::time_point okShown;
};

void pumpUntil(const std::function<bool()>& done) {
    QTimer tick;
    tick.start(1);
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

// Five bytes written on the slave and read on the master, then one byte back: the floor.
void rawBaseline(int samples, std::vector<double>& frame, std::vector<double>& reply) {
    PtyPair pty;
    UniqueFd slave(::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
    for (int i = 0; i < samples; ++i) {
        const auto start = Clock::now();
        for (std::uint8_t b : {0xFF, 0xC0, 0x00, 0x01, 0x7F})
            [[maybe_unused]] auto n = ::write(slave.get(), &b, 1);
        pty.read(5);
        frame.push_back(ms(Clock::now() - start));
        const auto sent = Clock::now();
        pty.write({'X'});
        pollfd fd{slave.get(), POLLIN, 0};
        poll(&fd, 1, 1000);
        std::uint8_t byte;
        [[maybe_unused]] auto n = ::read(slave.get(), &byte, 1);
        reply.push_back(ms(Clock::now() - sent));
    }
}

struct Timings {
    std::vector<double> frame, reply;
};

Timings measureExchange(int samples) {
    PtyPair pty;
    TSerialLink port;
    prepareForKeyExchange(port);
    port.setCommPort(pty.slavePath());
    std::uint8_t id = 1;
    TimedPanel panel;
    KeyExchange exchange(
        port, id, [&] { return &panel; }, [](LinkEvent, const PortFailure&) {});
    exchange.OpenPort();

    std::atomic<int> answered{0};
    std::atomic<Clock::time_point> fifthByte, replySent;
    std::thread recorder([&] {
        for (int i = 0; i < samples; ++i) {
            if (pty.read(5).size() != 5) break;
            fifthByte = Clock::now();
            replySent = Clock::now();
            pty.write({'X'});
            answered = i + 1;
        }
    });

    Timings t;
    QThread::msleep(300); // the worker takes the port up
    for (int i = 0; i < samples; ++i) {
        const auto pressed = Clock::now();
        exchange.SendKey(static_cast<std::uint8_t>(i));
        pumpUntil([&] { return answered == i + 1 && exchange.Tag() == KeyExchange::Ready; });
        t.frame.push_back(ms(fifthByte.load() - pressed));
        t.reply.push_back(ms(panel.okShown - replySent.load()));
    }
    recorder.join();
    return t;
}

void print(const char* what, const std::vector<double>& link, const std::vector<double>& raw) {
    const double p50 = percentile(link, 0.5), p99 = percentile(link, 0.99);
    const double r50 = percentile(raw, 0.5), r99 = percentile(raw, 0.99);
    std::printf("%s:\n  exchange  p50 %.3f ms  p99 %.3f ms   (target p99: 10 ms)\n", what, p50, p99);
    std::printf("  raw pty   p50 %.3f ms  p99 %.3f ms   (baseline)\n  ratio     p50 x%.1f  p99 x%.1f\n", r50, r99,
                p50 / r50, p99 / r99);
}

} // namespace

int main(int argc, char* argv[]) {
    int samples = 500;
    if (argc > 2 && std::strcmp(argv[1], "--samples") == 0) samples = std::max(10, std::atoi(argv[2]));
    QCoreApplication app(argc, argv);

    std::vector<double> rawFrame, rawReply;
    rawBaseline(samples, rawFrame, rawReply);
    const Timings t = measureExchange(samples);
    std::printf("%d presses\n", samples);
    print("key press to the fifth byte on the far end", t.frame, rawFrame);
    print("reply byte on the far end to the ok lamp", t.reply, rawReply);
    const bool met = percentile(t.frame, 0.99) <= 10 && percentile(t.reply, 0.99) <= 10;
    std::printf("%s\n", met ? "all targets met" : "TARGETS MISSED");
    return met ? 0 : 1;
}
