// The Linux main loop with real time. Waits are short and generous and nothing asserts a
// duration: run() is always ended by stop() from a task or timer, with a watchdog timer that
// stops a loop that would otherwise hang.
#include <poll.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kestrum/linux/LinuxMainLoop.hpp"

namespace kestrum {
namespace {

bool readable(int fd) {
    pollfd descriptor{fd, POLLIN, 0};
    return ::poll(&descriptor, 1, 0) == 1 && (descriptor.revents & POLLIN);
}

// Runs the loop until stop(), or gives up after a few seconds (the test then fails).
bool runWithWatchdog(LinuxMainLoop& loop, double seconds = 5) {
    bool timedOut = false;
    auto watchdog = loop.scheduleOnce(seconds, [&] {
        timedOut = true;
        loop.stop();
    });
    loop.run();
    watchdog->invalidate();
    return !timedOut;
}

TEST(LinuxMainLoop, PostedTasksRunInOrderAndLaterPostsWaitForTheNextDispatch) {
    LinuxMainLoop loop;
    std::vector<std::string> log;
    loop.post([&] {
        log.push_back("a");
        loop.post([&] { log.push_back("c"); });
    });
    loop.post([&] { log.push_back("b"); });

    EXPECT_TRUE(readable(loop.wakeDescriptor()));
    loop.dispatch();
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(readable(loop.wakeDescriptor())) << "the task posted during dispatch is still waiting";
    loop.dispatch();
    EXPECT_EQ(log, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_FALSE(readable(loop.wakeDescriptor()));
}

TEST(LinuxMainLoop, NestedDispatchKeepsTheOrderOfTheBatch) {
    LinuxMainLoop loop;
    std::vector<int> log;
    loop.post([&] {
        log.push_back(1);
        loop.dispatch();  // a modal loop inside a task
        log.push_back(99);
    });
    loop.post([&] { log.push_back(2); });
    loop.post([&] { log.push_back(3); });
    loop.dispatch();
    EXPECT_EQ(log, (std::vector<int>{1, 2, 3, 99}));
}

TEST(LinuxMainLoop, ATimerFiredByANestedDispatchIsNotFiredAgainByTheOuterOne) {
    LinuxMainLoop loop;
    int first = 0;
    int second = 0;
    auto a = loop.scheduleOnce(0, [&] {
        ++first;
        loop.dispatch();  // a modal loop inside a timer action
    });
    auto b = loop.scheduleRepeating(1e-4, RunLoopMode::defaultMode, [&] { ++second; });
    const double bothDue = loop.now() + 0.001;
    while (loop.now() < bothDue) {
    }
    loop.dispatch();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    b->invalidate();
}

TEST(LinuxMainLoop, PostsFromOtherThreadsAllRunOnTheLoopThreadInPerThreadOrder) {
    LinuxMainLoop loop;
    constexpr int threads = 4;
    constexpr int perThread = 500;
    std::vector<std::vector<int>> seen(threads);
    int total = 0;
    const auto loopThread = std::this_thread::get_id();
    bool allOnLoopThread = true;

    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                loop.post([&, t, i] {
                    allOnLoopThread = allOnLoopThread && std::this_thread::get_id() == loopThread;
                    seen[static_cast<std::size_t>(t)].push_back(i);
                    if (++total == threads * perThread) loop.stop();
                });
            }
        });
    }
    EXPECT_TRUE(runWithWatchdog(loop));
    for (auto& poster : posters) poster.join();

    EXPECT_TRUE(allOnLoopThread);
    EXPECT_EQ(total, threads * perThread);
    for (const auto& sequence : seen) {
        ASSERT_EQ(sequence.size(), static_cast<std::size_t>(perThread));
        for (int i = 0; i < perThread; ++i) EXPECT_EQ(sequence[static_cast<std::size_t>(i)], i);
    }
}

TEST(LinuxMainLoop, StopFromAnotherThreadEndsABlockedRun) {
    LinuxMainLoop loop;
    std::atomic<bool> running{false};
    loop.post([&] { running = true; });
    std::thread stopper([&] {
        while (!running) std::this_thread::yield();
        loop.stop();
    });
    EXPECT_TRUE(runWithWatchdog(loop));
    stopper.join();
}

TEST(LinuxMainLoop, StopInsideATaskEndsRunAfterThatStepAndLeavesLaterWorkQueued) {
    LinuxMainLoop loop;
    std::vector<std::string> log;
    loop.post([&] {
        log.push_back("first");
        loop.stop();
        loop.post([&] { log.push_back("later"); });
    });
    loop.run();
    EXPECT_EQ(log, (std::vector<std::string>{"first"}));

    // The loop can be run again, and the work left over runs then.
    loop.post([&] { loop.stop(); });
    loop.run();
    EXPECT_EQ(log, (std::vector<std::string>{"first", "later"}));
}

TEST(LinuxMainLoop, OneShotTimersFireOnceInDueOrderAndLeaveTheLoop) {
    LinuxMainLoop loop;
    std::vector<std::string> log;
    auto late = loop.scheduleOnce(0.03, [&] {
        log.push_back("late");
        loop.stop();
    });
    auto early = loop.scheduleOnce(0.01, [&] { log.push_back("early"); });
    auto cancelled = loop.scheduleOnce(0.02, [&] { log.push_back("cancelled"); });
    EXPECT_EQ(loop.timerCount(), 3u);
    cancelled->invalidate();
    EXPECT_FALSE(cancelled->isValid());

    EXPECT_TRUE(runWithWatchdog(loop));
    EXPECT_EQ(log, (std::vector<std::string>{"early", "late"}));
    EXPECT_FALSE(early->isValid());
    EXPECT_FALSE(late->isValid());
    EXPECT_EQ(loop.timerCount(), 0u);
}

// The handles are dropped at once: the loop keeps its timers regardless.
TEST(LinuxMainLoop, ZeroNegativeAndNonFiniteDelaysFireOnTheNextDispatchInOrder) {
    LinuxMainLoop loop;
    std::vector<int> log;
    loop.scheduleOnce(0, [&] { log.push_back(1); });
    loop.scheduleOnce(-5, [&] { log.push_back(2); });  // not in the past: it counts as 0
    loop.scheduleOnce(std::nan(""), [&] { log.push_back(3); });
    loop.dispatch();
    EXPECT_EQ(log, (std::vector<int>{1, 2, 3}));
}

// Common-mode timers fire in the normal loop like default-mode ones.
TEST(LinuxMainLoop, RepeatingTimerTicksUntilInvalidatedFromItsOwnTick) {
    LinuxMainLoop loop;
    int ticks = 0;
    std::shared_ptr<Timer> timer;
    timer = loop.scheduleRepeating(0.005, RunLoopMode::common, [&] {
        if (++ticks == 5) {
            timer->invalidate();
            loop.post([&] { loop.stop(); });
        }
    });
    EXPECT_TRUE(runWithWatchdog(loop));
    EXPECT_EQ(ticks, 5);
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(loop.timerCount(), 0u);
}

TEST(LinuxMainLoop, InvalidatingReleasesWhatTheActionCaptured) {
    LinuxMainLoop loop;
    auto captured = std::make_shared<int>(7);
    std::weak_ptr<int> watch = captured;
    auto timer = loop.scheduleRepeating(10, RunLoopMode::defaultMode, [captured] { (void)captured; });
    captured.reset();
    EXPECT_FALSE(watch.expired()) << "the loop keeps the timer and its action";
    timer->invalidate();
    EXPECT_TRUE(watch.expired());
}

TEST(LinuxMainLoop, NextDeadlineFollowsTheEarliestTimerPlusItsTolerance) {
    LinuxMainLoop loop;
    EXPECT_FALSE(loop.nextDeadline().has_value());

    const double before = loop.now();
    auto slow = loop.scheduleOnce(100, [] {});
    auto fast = loop.scheduleRepeating(50, RunLoopMode::defaultMode, [] {});
    EXPECT_TRUE(readable(loop.wakeDescriptor())) << "a new timer wakes a foreign loop to re-read the deadline";
    const double after = loop.now();

    ASSERT_TRUE(loop.nextDeadline().has_value());
    EXPECT_GE(*loop.nextDeadline(), before + 50);
    EXPECT_LE(*loop.nextDeadline(), after + 50);

    fast->setTolerance(0.25);
    EXPECT_DOUBLE_EQ(fast->tolerance(), 0.25);
    EXPECT_GE(*loop.nextDeadline(), before + 50.25);
    fast->setTolerance(-1);
    EXPECT_DOUBLE_EQ(fast->tolerance(), 0);

    fast->invalidate();
    EXPECT_GE(*loop.nextDeadline(), before + 100);
    slow->invalidate();
    EXPECT_FALSE(loop.nextDeadline().has_value());
}

// What a foreign loop waits on: the descriptor wakes it when a timer is due and is quiet again
// after the dispatch, also when the timer it was set for was invalidated meanwhile.
TEST(LinuxMainLoop, TheTimerDescriptorWakesAForeignLoopWhenATimerIsDue) {
    LinuxMainLoop loop;
    const auto waitForTimer = [&] {
        pollfd descriptor{loop.timerDescriptor(), POLLIN, 0};
        return ::poll(&descriptor, 1, 5000) == 1;
    };
    int fired = 0;
    loop.scheduleOnce(0.02, [&] { ++fired; });
    ASSERT_TRUE(waitForTimer());
    loop.dispatch();
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(readable(loop.timerDescriptor()));

    auto cancelled = loop.scheduleOnce(0.02, [&] { ++fired; });
    cancelled->invalidate();
    ASSERT_TRUE(waitForTimer());
    loop.dispatch();
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(readable(loop.timerDescriptor()));
}

// Something a waiting task or timer holds posts again when it is released with the loop; what
// it posts is released too, not left behind.
TEST(LinuxMainLoop, DestroyingTheLoopReleasesWaitingWorkEvenWhenThatPostsAgain) {
    struct PostsOnRelease {
        PostsOnRelease(LinuxMainLoop* loop, std::shared_ptr<int> token) : loop(loop), token(std::move(token)) {}
        ~PostsOnRelease() {
            loop->post([token = token] { (void)token; });
        }
        LinuxMainLoop* loop;
        std::shared_ptr<int> token;
    };
    auto token = std::make_shared<int>(0);
    {
        LinuxMainLoop loop;
        auto inTask = std::make_shared<PostsOnRelease>(&loop, token);
        auto inTimer = std::make_shared<PostsOnRelease>(&loop, token);
        loop.post([inTask] { (void)inTask; });
        loop.scheduleOnce(60, [inTimer] { (void)inTimer; });
    }
    EXPECT_EQ(token.use_count(), 1);
}

TEST(LinuxMainLoop, TimerHandlesOutliveTheirLoopSafely) {
    std::shared_ptr<Timer> timer;
    {
        LinuxMainLoop loop;
        timer = loop.scheduleRepeating(1, RunLoopMode::defaultMode, [] {});
        timer->setTolerance(0.1);
    }
    EXPECT_FALSE(timer->isValid());
    timer->invalidate();
    timer->setTolerance(1);
    EXPECT_DOUBLE_EQ(timer->tolerance(), 0);
}

}  // namespace
}  // namespace kestrum
