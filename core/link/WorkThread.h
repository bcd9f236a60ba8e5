#pragma once

#include "link/LinkReport.h"
#include "link/SerialDevice.h"
#include "link/SerialLink.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

// The serial link's worker: while the port is open it finishes pending writes, polls the modem
// lines and line status, reads received bytes into clusters and waits for line events, handing every
// notification to the link's thread and waiting there until it has run.
class TWorkThread {
public:
    explicit TWorkThread(TSerialLink& port);
    ~TWorkThread();
    TWorkThread(const TWorkThread&) = delete;
    TWorkThread& operator=(const TWorkThread&) = delete;

private:
    void Execute();
    bool enterActiveMode();
    // One pass of the active loop; returns false once the port is closed and nothing is left to finish.
    bool activePass();
    void waitForPending();
    void pause();
    bool windDown();

    void PollLineStatus();
    void TryRead();
    void StartEventWait();
    void FinishRead();
    void FinishEventWait(std::uint32_t mask);
    void CheckWrite();
    // Queues a read's bytes unless a discard of the input came after the read began; says whether it did.
    bool keepCluster(std::vector<std::uint8_t> bytes);
    void DispatchCommEvents(std::uint32_t mask);
    // A failure that means the device has gone ends the work on this port.
    void noteFailure(int error);

    bool active() const { return port_.isCurrent(generation_); }
    bool lost() const { return port_.isLost(generation_); }
    bool ownsCurrentPort() const { return port_.generation_ == generation_; }
    void handOffReport(const LinkReport& report, int code);
    void handOffEvent(TSerialLink::Event event);

    TSerialLink& port_;
    std::shared_ptr<SerialDevice> device_;
    std::uint64_t generation_ = 0;
    bool readPending_ = false;
    bool waitPending_ = false;
    LineStatus lastPoll_;
    std::uint32_t unreadErrors_ = 0;
    std::uint64_t readEpoch_ = 0; // the link's input epoch when the current read started
    std::uint32_t referenceTick_ = 0;
    int lastError_ = 0;
    std::chrono::milliseconds nextWait_;
    std::thread thread_;
};
