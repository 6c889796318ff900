#pragma once
// A main loop on a virtual clock. Nothing runs by itself: a test runs posted tasks and
// advances the clock step by step, and every timer fires at its exact due time.
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "kestrum/ports/MainLoop.hpp"

namespace kestrum::fakes {

class FakeTimer;

class FakeMainLoop : public MainLoop {
public:
    void post(std::function<void()> task) override;
    std::shared_ptr<Timer> scheduleOnce(double seconds, std::function<void()> task) override;
    std::shared_ptr<Timer> scheduleRepeating(double interval, RunLoopMode mode, std::function<void()> tick) override;
    double now() const override { return now_; }

    // Runs the oldest posted task; false when there is none.
    bool runNextTask();
    // Runs posted tasks, including those they post, until none is left; returns how many ran.
    std::size_t runPendingTasks();
    // Moves the clock forward, firing due timers in time order (earliest first, then in order
    // of creation) and running the tasks posted by each firing before the next one.
    void advance(double seconds);
    // Sets the clock without firing anything (a late tick is then fired with fire()).
    void setTime(double seconds) { now_ = seconds; }
    // Fires one timer now, as a late tick would, and runs the tasks it posts.
    void fire(const std::shared_ptr<Timer>& timer);

    std::size_t pendingTaskCount() const { return tasks_.size(); }
    // Timers that are still valid, in order of creation.
    std::vector<std::shared_ptr<FakeTimer>> activeTimers() const;

private:
    friend class FakeTimer;
    double now_ = 0;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::shared_ptr<FakeTimer>> timers_;
};

class FakeTimer : public Timer {
public:
    FakeTimer(double due, double interval, bool repeats, RunLoopMode mode, std::function<void()> action)
        : due_(due), interval_(interval), repeats_(repeats), mode_(mode), action_(std::move(action)) {}
    void invalidate() override;
    bool isValid() const override { return valid_; }
    void setTolerance(double seconds) override { tolerance_ = seconds; }
    double tolerance() const override { return tolerance_; }

    double due() const { return due_; }
    double interval() const { return interval_; }
    bool repeats() const { return repeats_; }
    RunLoopMode mode() const { return mode_; }
    int fireCount() const { return fireCount_; }

private:
    friend class FakeMainLoop;
    void fireAt(double time);
    double due_;
    double interval_;
    bool repeats_;
    RunLoopMode mode_;
    std::function<void()> action_;
    double tolerance_ = 0;
    bool valid_ = true;
    int fireCount_ = 0;
};

}  // namespace kestrum::fakes
