#pragma once
// The main thread's loop: posted tasks, one-shot and repeating timers, a monotonic clock.
#include <functional>
#include <memory>

namespace kestrum {

// Default: fires only while the loop runs in its default mode. Common: also during
// tracking modes (a held mouse button, a drag).
enum class RunLoopMode { defaultMode, common };

// A timer the loop owns until it is invalidated (or, for a one-shot, until it fired);
// the handle only refers to it.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void invalidate() = 0;
    virtual bool isValid() const = 0;
    virtual void setTolerance(double seconds) = 0;
    virtual double tolerance() const = 0;
};

class MainLoop {
public:
    virtual ~MainLoop() = default;
    // Runs the task on the main thread as its own step, after the tasks posted before it.
    // May be called from any thread.
    virtual void post(std::function<void()> task) = 0;
    // Runs the task once, `seconds` from now on the monotonic clock.
    virtual std::shared_ptr<Timer> scheduleOnce(double seconds, std::function<void()> task) = 0;
    virtual std::shared_ptr<Timer> scheduleRepeating(double interval, RunLoopMode mode,
                                                     std::function<void()> tick) = 0;
    // Monotonic seconds, not counting time asleep.
    virtual double now() const = 0;
};

}  // namespace kestrum
