#include "base/MainLoop.h"
#include "base/Timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 2s) {
    return mainLoop().runUntil(done, limit);
}

TEST(MainLoop, WorkPostedFromAnyThreadRunsOnTheLoopInOrder) {
    ASSERT_TRUE(mainLoop().isLoopThread());
    std::vector<int> ran;
    std::atomic<bool> onLoopThread{true};
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i)
            mainLoop().post([&, i] {
                onLoopThread = onLoopThread && mainLoop().isLoopThread();
                ran.push_back(i);
            });
    });
    worker.join();
    EXPECT_FALSE(ran.size() == 3) << "nothing runs before the loop does";
    ASSERT_TRUE(runUntil([&] { return ran.size() == 3; }));
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(onLoopThread);
}

TEST(MainLoop, WorkForAnOwnerThatHasGoneIsDropped) {
    int ran = 0;
    std::optional<LoopPoster> owner(std::in_place);
    owner->post([&] { ++ran; });
    owner.reset();
    mainLoop().post([&] { ran += 10; });
    ASSERT_TRUE(runUntil([&] { return ran >= 10; }));
    EXPECT_EQ(ran, 10);
}

TEST(MainLoopTimer, TicksUntilStoppedOrOnceWhenSingleShot) {
    int repeating = 0, once = 0;
    Timer every([&] { ++repeating; }), single([&] { ++once; });
    every.setInterval(10);
    single.setInterval(10);
    single.setSingleShot(true);
    every.start();
    single.start();
    EXPECT_TRUE(every.isActive());
    ASSERT_TRUE(runUntil([&] { return repeating >= 3; }));
    every.stop();
    EXPECT_FALSE(every.isActive());
    EXPECT_EQ(once, 1);
    EXPECT_FALSE(single.isActive()) << "a single-shot timer is off once it fired";
    const int stoppedAt = repeating;
    runUntil([] { return false; }, 60ms);
    EXPECT_EQ(repeating, stoppedAt);
    EXPECT_EQ(once, 1);
}

// A tick due at once may already be queued when the timer is stopped or started again.
TEST(MainLoopTimer, ATickDueAtOnceFiresOnlyForTheLastStartAndNeverAfterAStop) {
    int stoppedFired = 0, restartedFired = 0;
    Timer stopped([&] { ++stoppedFired; }), restarted([&] { ++restartedFired; });
    for (Timer* timer : {&stopped, &restarted}) {
        timer->setInterval(1);
        timer->setSingleShot(true);
        timer->start();
    }
    stopped.stop();
    restarted.start();
    ASSERT_TRUE(runUntil([&] { return restartedFired > 0; }));
    runUntil([] { return false; }, 50ms);
    EXPECT_EQ(stoppedFired, 0);
    EXPECT_EQ(restartedFired, 1);
}

TEST(MainLoopTimer, StartingARunningTimerCountsItsIntervalFromNow) {
    int fired = 0;
    Timer timer([&] { ++fired; });
    timer.setInterval(200);
    timer.setSingleShot(true);
    timer.start();
    const auto restarted = std::chrono::steady_clock::now() + 100ms;
    runUntil([&] { return std::chrono::steady_clock::now() >= restarted; });
    timer.start();
    ASSERT_TRUE(runUntil([&] { return fired == 1; }));
    EXPECT_GE(std::chrono::steady_clock::now() - restarted, 180ms) << "not at the first start's 200 ms";
}

} // namespace
