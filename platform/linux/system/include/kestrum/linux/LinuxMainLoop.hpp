#pragma once
// The main loop of the Linux shell: a task queue that any thread may post to, timers kept by
// the loop, and CLOCK_MONOTONIC (which stops while the machine sleeps) as its clock.
//
// It runs either by itself (run()/stop(), a poll(2) loop for the helper without a GUI) or
// inside a foreign event loop such as Qt's: watch wakeDescriptor() and timerDescriptor() for
// readability (socket notifiers) and call dispatch() when either is readable. The timer
// descriptor becomes readable when the next timer is due (at its deadline, nextDeadline()),
// so a tick costs the foreign loop one wake-up and no timer of its own. (A foreign loop may
// instead arm its own timer for nextDeadline(): the wake descriptor also becomes readable
// whenever a timer is scheduled, so that it re-reads the deadline.)
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
    // Readable once the next timer is due, until the dispatch that follows.
    int timerDescriptor() const { return timerFd_; }
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
    void signal();
    void signalLocked();
    void drainWakeLocked();
    std::shared_ptr<Timer> addTimer(double due, double interval, bool repeats, RunLoopMode mode,
                                    std::function<void()> action);
    void fireDueTimers();
    void armTimerDescriptor();

    int wakeFd_ = -1;
    int timerFd_ = -1;
    std::optional<double> armedDeadline_;  // what timerFd_ is set to
    mutable std::mutex mutex_;  // guards tasks_ and signalled_
    std::deque<std::function<void()>> tasks_;
    bool signalled_ = false;  // the descriptor is readable
    std::atomic<bool> stopRequested_{false};
    std::vector<std::shared_ptr<TimerState>> timers_;
    std::uint64_t nextSequence_ = 0;
};

}  // namespace kestrum
