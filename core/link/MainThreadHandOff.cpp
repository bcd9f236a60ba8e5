#include "link/MainThreadHandOff.h"

struct MainThreadHandOff::Call {
    std::function<void()> body;
    std::uint64_t number = 0;
    bool done = false;
};

MainThreadHandOff::MainThreadHandOff(MainLoop& loop) : poster_(loop) {}

bool MainThreadHandOff::run(std::function<void()> body) {
    if (poster_.loop().isLoopThread()) {
        body();
        return true;
    }
    auto call = std::make_shared<Call>();
    call->body = std::move(body);
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) return false;
        call->number = nextCall_++;
    }
    poster_.post([this, call] { runQueued(call); });
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return call->done || cancelled_ || call->number < firstKept_; });
    return call->done;
}

void MainThreadHandOff::runQueued(const std::shared_ptr<Call>& call) {
    {
        std::lock_guard lock(mutex_);
        if (cancelled_ || call->number < firstKept_) return;
    }
    call->body();
    std::lock_guard lock(mutex_);
    call->done = true;
    finished_.notify_all();
}

void MainThreadHandOff::dropWaiting() {
    std::lock_guard lock(mutex_);
    firstKept_ = nextCall_;
    finished_.notify_all();
}

void MainThreadHandOff::cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    finished_.notify_all();
}
