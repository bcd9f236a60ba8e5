#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "base/MainLoop.h"

// Runs a call on the thread of a context object while the calling thread waits for it, as the
// worker's notifications need. Once cancelled, waiting callers go on and queued calls are dropped,
// so a GUI thread that joins the worker can never deadlock with it.
class MainThreadHandOff {
public:
    explicit MainThreadHandOff(MainLoop& loop = mainLoop());

    // Returns false when the call was dropped by cancel() or dropWaiting().
    bool run(std::function<void()> call);
    void cancel();
    // Drops the calls queued so far and lets their callers go on; later calls run as usual. For a
    // GUI thread that must wait for the worker, which may be waiting for it.
    void dropWaiting();

private:
    struct Call;
    void runQueued(const std::shared_ptr<Call>& call);

    LoopPoster poster_;
    std::mutex mutex_;
    std::condition_variable finished_;
    bool cancelled_ = false;
    std::uint64_t nextCall_ = 0;
    std::uint64_t firstKept_ = 0; // calls numbered below it are dropped
};
