#include "base/MainLoop.h"

#include <windows.h>

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>

namespace {

constexpr UINT RunPostedWork = WM_APP + 1;
constexpr UINT RunDueTimer = WM_APP + 2;

// A message-only window of the thread that first asks for the loop: posted work and timer ticks
// arrive as its messages, so whatever message loop that thread runs drives them.
class Win32MainLoop final : public MainLoop {
public:
    Win32MainLoop() : thread_(GetCurrentThreadId()) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &Win32MainLoop::windowProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"LumevantaMainLoop";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Win32MainLoop() override { DestroyWindow(window_); }

    void post(std::function<void()> work) override {
        {
            std::lock_guard lock(mutex_);
            posted_.push_back(std::move(work));
        }
        PostMessageW(window_, RunPostedWork, 0, 0);
    }

    bool isLoopThread() const override { return GetCurrentThreadId() == thread_; }

    std::unique_ptr<TimerHandle> makeTimer(std::function<void()> tick) override;

    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) override {
        const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(limit.count());
        while (!done()) {
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline) return false;
            // Wakes at least every few milliseconds, so a condition that no message announces is seen too.
            const DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 5));
            MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        return true;
    }

    struct TimerState {
        std::function<void()> tick;
        bool singleShot = false;
        bool active = false;
        // Counts the starts, so that a tick posted for an earlier start is known as stale.
        WPARAM start = 0;
    };
    UINT_PTR addTimer(std::function<void()> tick) {
        const UINT_PTR id = nextTimer_++;
        timers_[id].tick = std::move(tick);
        return id;
    }
    void removeTimer(UINT_PTR id) {
        KillTimer(window_, id);
        timers_.erase(id);
    }
    void startTimer(UINT_PTR id, std::chrono::milliseconds interval, bool singleShot) {
        TimerState& timer = timers_[id];
        timer.singleShot = singleShot;
        timer.active = true;
        ++timer.start;
        // Windows holds any timer back for at least USER_TIMER_MINIMUM (10 ms); a single tick due
        // sooner is posted instead, so it comes as soon as the loop is free, as Qt's does.
        if (singleShot && interval.count() < USER_TIMER_MINIMUM) {
            KillTimer(window_, id);
            PostMessageW(window_, RunDueTimer, id, static_cast<LPARAM>(timer.start));
            return;
        }
        SetTimer(window_, id, static_cast<UINT>(interval.count()), nullptr);
    }
    void stopTimer(UINT_PTR id) {
        KillTimer(window_, id);
        timers_[id].active = false;
    }
    bool isActive(UINT_PTR id) const {
        const auto timer = timers_.find(id);
        return timer != timers_.end() && timer->second.active;
    }

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* loop = reinterpret_cast<Win32MainLoop*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (loop && message == RunPostedWork) {
            loop->runPosted();
            return 0;
        }
        if (loop && message == WM_TIMER) {
            loop->fire(wParam);
            return 0;
        }
        if (loop && message == RunDueTimer) {
            loop->fireIfStillDue(wParam, static_cast<WPARAM>(lParam));
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    void runPosted() {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            if (posted_.empty()) return;
            work = std::move(posted_.front());
            posted_.pop_front();
        }
        work();
    }

    void fire(UINT_PTR id) {
        const auto timer = timers_.find(id);
        if (timer == timers_.end()) return;
        if (timer->second.singleShot) stopTimer(id);
        // A copy: the tick may stop or destroy its own timer.
        const std::function<void()> tick = timer->second.tick;
        tick();
    }

    void fireIfStillDue(UINT_PTR id, WPARAM start) {
        const auto timer = timers_.find(id);
        if (timer != timers_.end() && timer->second.active && timer->second.start == start) fire(id);
    }

    DWORD thread_;
    HWND window_ = nullptr;
    std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
    std::map<UINT_PTR, TimerState> timers_;
    UINT_PTR nextTimer_ = 1;
};

class Win32Timer final : public MainLoop::TimerHandle {
public:
    Win32Timer(Win32MainLoop& loop, std::function<void()> tick) : loop_(loop), id_(loop.addTimer(std::move(tick))) {}
    ~Win32Timer() override { loop_.removeTimer(id_); }
    void start(std::chrono::milliseconds interval, bool singleShot) override {
        loop_.startTimer(id_, interval, singleShot);
    }
    void stop() override { loop_.stopTimer(id_); }
    bool active() const override { return loop_.isActive(id_); }

private:
    Win32MainLoop& loop_;
    UINT_PTR id_;
};

std::unique_ptr<MainLoop::TimerHandle> Win32MainLoop::makeTimer(std::function<void()> tick) {
    return std::make_unique<Win32Timer>(*this, std::move(tick));
}

} // namespace

MainLoop& mainLoop() {
    static Win32MainLoop loop;
    return loop;
}
