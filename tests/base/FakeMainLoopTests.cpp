#include <gtest/gtest.h>

#include "kestrum/fakes/FakeMainLoop.hpp"

using kestrum::RunLoopMode;
using kestrum::fakes::FakeMainLoop;

TEST(FakeMainLoop, TimersFireInTimeOrderAndRunTheirPostedTasksBetween) {
    FakeMainLoop loop;
    std::vector<std::string> log;
    loop.scheduleOnce(0.5, [&] { log.push_back("once"); });
    auto repeating = loop.scheduleRepeating(0.2, RunLoopMode::common, [&] {
        log.push_back("tick@" + std::to_string(static_cast<int>(loop.now() * 10 + 0.5)));
        loop.post([&] { log.push_back("task"); });
    });
    loop.advance(0.65);
    EXPECT_EQ(log, (std::vector<std::string>{"tick@2", "task", "tick@4", "task", "once", "tick@6", "task"}));
    repeating->invalidate();
    loop.advance(1);
    EXPECT_EQ(log.size(), 7u);
    EXPECT_TRUE(loop.activeTimers().empty());
}

TEST(FakeMainLoop, PostedTasksRunOnlyWhenAsked) {
    FakeMainLoop loop;
    int ran = 0;
    loop.post([&] {
        ++ran;
        loop.post([&] { ++ran; });
    });
    EXPECT_EQ(ran, 0);
    EXPECT_TRUE(loop.runNextTask());
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(loop.runPendingTasks(), 1u);
    EXPECT_EQ(ran, 2);
}

#include "kestrum/fakes/FakePlatform.hpp"

TEST(FakePlatform, InstallsEveryPortForTheTestAndRemovesThemAfter) {
    {
        kestrum::fakes::FakePlatform fakes;
        EXPECT_EQ(kestrum::platform().mainLoop.get(), fakes.mainLoop.get());
        EXPECT_EQ(kestrum::platform().panelWindows.get(), fakes.panelWindows.get());
    }
    EXPECT_EQ(kestrum::platform().workspace, nullptr);
}
