// The main loop on macOS: posted tasks and one-shot calls go to the main dispatch queue,
// repeating timers are CFRunLoopTimers on the main run loop. The clock is mach_absolute_time,
// which stops while the machine sleeps; dispatch_time(DISPATCH_TIME_NOW, ...) counts on the
// same clock, so a one-shot call due in 300 s fires after 300 s of awake time, as now() says.
#import <CoreFoundation/CoreFoundation.h>
#import <Foundation/Foundation.h>
#include <dispatch/dispatch.h>
#include <mach/mach_time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "MacPorts.hpp"

namespace kestrum::macos {
namespace {

std::uint64_t nanoseconds(double seconds) {
    return std::isfinite(seconds) && seconds > 0 ? static_cast<std::uint64_t>(seconds * NSEC_PER_SEC) : 0;
}

// A one-shot call: a timer source on the main queue. The source and its handler keep this
// state alive until it fired or was invalidated; the handle given out only refers to it.
struct OnceState {
    dispatch_source_t source;
    dispatch_time_t start = 0;
    double tolerance = 0;
    std::function<void()> action;

    void arm() {
        dispatch_source_set_timer(source, start, DISPATCH_TIME_FOREVER, nanoseconds(tolerance));
    }
    void invalidate() {
        action = nullptr;  // let go of what the action captured at once
        if (!source) return;
        dispatch_source_cancel(source);
        source = nil;  // the cancelled source releases its handler, and with it this state
    }
};

class OnceTimer final : public Timer {
public:
    explicit OnceTimer(std::weak_ptr<OnceState> state) : state_(std::move(state)) {}
    void invalidate() override {
        if (auto state = state_.lock()) state->invalidate();
    }
    bool isValid() const override {
        auto state = state_.lock();
        return state && state->source;
    }
    void setTolerance(double seconds) override {
        auto state = state_.lock();
        if (!state || !state->source) return;
        state->tolerance = std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0;
        state->arm();
    }
    double tolerance() const override {
        auto state = state_.lock();
        return state ? state->tolerance : 0.0;
    }

private:
    std::weak_ptr<OnceState> state_;
};

// A repeating timer: the run loop owns the CFRunLoopTimer until it is invalidated; the
// handle keeps a reference to it so that it can still be asked.
struct RepeatingState {
    std::function<void()> action;
};

class RepeatingTimer final : public Timer {
public:
    RepeatingTimer(CFRunLoopTimerRef timer, std::shared_ptr<RepeatingState> state)
        : timer_(timer), state_(std::move(state)) {}
    ~RepeatingTimer() override { CFRelease(timer_); }
    RepeatingTimer(const RepeatingTimer&) = delete;
    RepeatingTimer& operator=(const RepeatingTimer&) = delete;

    void invalidate() override {
        state_->action = nullptr;
        CFRunLoopTimerInvalidate(timer_);
    }
    bool isValid() const override { return CFRunLoopTimerIsValid(timer_); }
    void setTolerance(double seconds) override {
        CFRunLoopTimerSetTolerance(timer_, std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0);
    }
    double tolerance() const override { return CFRunLoopTimerGetTolerance(timer_); }

private:
    CFRunLoopTimerRef timer_;
    std::shared_ptr<RepeatingState> state_;
};

class MacMainLoop final : public MainLoop {
public:
    void post(std::function<void()> task) override {
        dispatch_async(dispatch_get_main_queue(), ^{
          task();
        });
    }

    std::shared_ptr<Timer> scheduleOnce(double seconds, std::function<void()> task) override {
        auto state = std::make_shared<OnceState>();
        state->action = std::move(task);
        state->source = dispatch_source_create(DISPATCH_SOURCE_TYPE_TIMER, 0, 0, dispatch_get_main_queue());
        state->start = dispatch_time(DISPATCH_TIME_NOW, static_cast<std::int64_t>(nanoseconds(seconds)));
        dispatch_source_set_event_handler(state->source, ^{
          auto action = std::move(state->action);
          state->invalidate();
          if (action) action();
        });
        state->arm();
        dispatch_resume(state->source);
        return std::make_shared<OnceTimer>(state);
    }

    std::shared_ptr<Timer> scheduleRepeating(double interval, RunLoopMode mode, std::function<void()> tick) override {
        auto state = std::make_shared<RepeatingState>();
        state->action = std::move(tick);
        CFRunLoopTimerRef timer = CFRunLoopTimerCreateWithHandler(
            kCFAllocatorDefault, CFAbsoluteTimeGetCurrent() + interval, interval, 0, 0, ^(CFRunLoopTimerRef) {
              if (state->action) state->action();
            });
        CFRunLoopAddTimer(CFRunLoopGetMain(), timer,
                          mode == RunLoopMode::common ? kCFRunLoopCommonModes : kCFRunLoopDefaultMode);
        return std::make_shared<RepeatingTimer>(timer, state);
    }

    double now() const override {
        static const mach_timebase_info_data_t timebase = [] {
            mach_timebase_info_data_t info{};
            mach_timebase_info(&info);
            return info;
        }();
        const double ticks = static_cast<double>(mach_absolute_time());
        return ticks * timebase.numer / timebase.denom / NSEC_PER_SEC;
    }
};

}  // namespace

std::shared_ptr<MainLoop> makeMainLoop() { return std::make_shared<MacMainLoop>(); }

}  // namespace kestrum::macos
