#pragma once
// The main loop of the Linux shell: a task queue that any thread may post to, timers kept by
// the loop, and CLOCK_MONOTONIC (which stops while the machine sleeps) as its clock.
//
// It runs either by itself (run()/stop(), a poll(2) loop for the helper without a GUI) or
// inside a foreign event loop such as Qt's: watch wakeDescriptor() for readability (a
// QSocketNotifier), arm a single-shot timer for nextDeadline(), and call dispatch() when
// either fires. The descriptor also becomes readable whenever a timer is scheduled, so the
// foreign loop re-reads nextDeadline() after every change of the schedule.
//
// Run-loop modes are recorded on each timer but both fire in the normal loop: on Linux no
// modal tracking loop (a held mouse button, a drag) shuts out default-mode sources, because
// Qt's nested loops keep serving the same socket notifier and timers.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "kestrum/ports/MainLoop.hpp"

namespace kestrum {

class LinuxMainLoop : public MainLoop {
public:
    LinuxMainLoop();
    ~LinuxMainLoop() override;
    LinuxMainLoop(const LinuxMainLoop&) = delete;
    LinuxMainLoop& operator=(const LinuxMainLoop&) = delete;

    // MainLoop. post() may be called from any thread; the rest belongs to the loop's thread.
    void post(std::function<void()> task) override;
    std::shared_ptr<Timer> scheduleOnce(double seconds, std::function<void()> task) override;
    std::shared_ptr<Timer> scheduleRepeating(double interval, RunLoopMode mode, std::function<void()> tick) override;
    double now() const override;

    // Readable while posted work waits or after the timer schedule changed.
    int wakeDescriptor() const { return wakeFd_; }
    // When the next timer should fire, on now()'s clock (its due time plus the tolerance it
    // allows, so that nearby timers share one wake-up); absent when no timer is valid.
    std::optional<double> nextDeadline() const;
    // Runs the tasks that were posted when it began, in order, then every timer that is due,
    // earliest first (ties in order of creation). Tasks posted meanwhile wait for the next call.
    void dispatch();

    // Dispatches and waits until stop(); returns after the step during which stop() came.
    void run();
    // May be called from any thread.
    void stop();

    // Timers still owned by the loop (valid), for inspection.
    std::size_t timerCount() const;

    struct TimerState;

private:
    void signal() const;
    void drainWake() const;
    std::shared_ptr<Timer> addTimer(double due, double interval, bool repeats, RunLoopMode mode,
                                    std::function<void()> action);
    void fireDueTimers();

    int wakeFd_ = -1;
    mutable std::mutex mutex_;  // guards tasks_
    std::deque<std::function<void()>> tasks_;
    std::atomic<bool> stopRequested_{false};
    std::vector<std::shared_ptr<TimerState>> timers_;
    std::uint64_t nextSequence_ = 0;
};

}  // namespace kestrum
