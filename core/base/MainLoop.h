#pragma once

#include <chrono>
#include <functional>
#include <memory>

// The thread that runs the user interface, as the rest of the program needs it: work handed to it
// from any thread, and timers that tick on it. Each front end provides one (Qt's event loop, a
// Win32 message loop); the build chooses which.
class MainLoop {
public:
    class TimerHandle {
    public:
        virtual ~TimerHandle() = default;
        virtual void start(std::chrono::milliseconds interval, bool singleShot) = 0;
        virtual void stop() = 0;
        virtual bool active() const = 0;
    };

    virtual ~MainLoop() = default;
    // Runs work later on the loop's thread, in the order posted; callable from any thread.
    virtual void post(std::function<void()> work) = 0;
    virtual bool isLoopThread() const = 0;
    // tick runs on the loop's thread each time the timer fires.
    virtual std::unique_ptr<TimerHandle> makeTimer(std::function<void()> tick) = 0;
    // Runs the loop on its own thread until done() holds or the limit has passed, and says which.
    // For a program without a loop of its own (lumevanta-send) and for tests; never from a handler.
    virtual bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) = 0;
};

// The program's loop. It belongs to the thread that first asks for it: each program asks on its
// user-interface thread before it starts any other.
MainLoop& mainLoop();

// Posts work on behalf of an object of the loop's thread: work still queued when the object goes is
// dropped, so it never runs on a dead object. Posting may come from any thread while the object lives.
class LoopPoster {
public:
    explicit LoopPoster(MainLoop& loop = mainLoop()) : loop_(loop) {}
    void post(std::function<void()> work) {
        loop_.post([alive = std::weak_ptr<const int>(alive_), work = std::move(work)] {
            if (!alive.expired()) work();
        });
    }
    MainLoop& loop() const { return loop_; }

private:
    MainLoop& loop_;
    std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};
