#include "kestrum/linux/LinuxMainLoop.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <system_error>

namespace kestrum {

// What the loop keeps of one timer. The loop holds it until it is invalidated or, for a
// one-shot, has fired; the handle given to the caller only refers to it.
struct LinuxMainLoop::TimerState {
    double due = 0;
    double interval = 0;
    bool repeats = false;
    RunLoopMode mode = RunLoopMode::defaultMode;
    std::uint64_t sequence = 0;
    double tolerance = 0;
    bool valid = true;
    // Shared with a firing in progress, so that an action may invalidate its own timer.
    std::shared_ptr<std::function<void()>> action;

    void invalidate() {
        valid = false;
        action.reset();  // let go of what the action captured at once
    }
};

namespace {

class LinuxTimer : public Timer {
public:
    explicit LinuxTimer(std::weak_ptr<LinuxMainLoop::TimerState> state) : state_(std::move(state)) {}
    void invalidate() override {
        if (auto state = state_.lock()) state->invalidate();
    }
    bool isValid() const override {
        auto state = state_.lock();
        return state && state->valid;
    }
    void setTolerance(double seconds) override {
        if (auto state = state_.lock()) state->tolerance = std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0;
    }
    double tolerance() const override {
        auto state = state_.lock();
        return state ? state->tolerance : 0.0;
    }

private:
    std::weak_ptr<LinuxMainLoop::TimerState> state_;
};

double sanitizedDelay(double seconds) { return std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0; }

}  // namespace

// Without its descriptors the loop cannot work at all (the process is out of descriptors
// before it has started), so that is the one failure reported by throwing.
LinuxMainLoop::LinuxMainLoop() {
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
    timerFd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (timerFd_ < 0) {
        const int error = errno;
        ::close(wakeFd_);
        throw std::system_error(error, std::generic_category(), "timerfd_create");
    }
}

LinuxMainLoop::~LinuxMainLoop() {
    // What the timers and the waiting tasks captured is released here, while the queue and the
    // descriptor still work: a destructor among them may post once more.
    for (;;) {
        auto timers = std::move(timers_);
        timers_.clear();
        std::deque<std::function<void()>> tasks;
        {
            std::lock_guard lock(mutex_);
            tasks.swap(tasks_);
        }
        if (timers.empty() && tasks.empty()) break;
        for (auto& timer : timers) timer->invalidate();
    }
    ::close(timerFd_);
    ::close(wakeFd_);
}

// The descriptor is written once and read once per dispatch that follows, however much was
// posted in between: no system call for a descriptor that is readable already, or that has
// nothing to be read.
void LinuxMainLoop::signalLocked() {
    if (signalled_) return;
    signalled_ = true;
    const std::uint64_t one = 1;
    // A full counter (never reached in practice) still leaves the descriptor readable.
    [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
}

void LinuxMainLoop::signal() {
    std::lock_guard lock(mutex_);
    signalLocked();
}

void LinuxMainLoop::drainWakeLocked() {
    if (!signalled_) return;
    signalled_ = false;
    std::uint64_t count = 0;
    [[maybe_unused]] const auto read = ::read(wakeFd_, &count, sizeof count);
}

void LinuxMainLoop::post(std::function<void()> task) {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    signalLocked();
}

double LinuxMainLoop::now() const {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::shared_ptr<Timer> LinuxMainLoop::addTimer(double due, double interval, bool repeats, RunLoopMode mode,
                                                std::function<void()> action) {
    auto state = std::make_shared<TimerState>();
    state->due = due;
    state->interval = interval;
    state->repeats = repeats;
    state->mode = mode;
    state->sequence = nextSequence_++;
    state->action = std::make_shared<std::function<void()>>(std::move(action));
    timers_.push_back(state);
    armTimerDescriptor();
    signal();  // a foreign loop with a timer of its own re-reads nextDeadline()
    return std::make_shared<LinuxTimer>(state);
}

std::shared_ptr<Timer> LinuxMainLoop::scheduleOnce(double seconds, std::function<void()> task) {
    return addTimer(now() + sanitizedDelay(seconds), 0, false, RunLoopMode::defaultMode, std::move(task));
}

std::shared_ptr<Timer> LinuxMainLoop::scheduleRepeating(double interval, RunLoopMode mode, std::function<void()> tick) {
    // A repeating timer needs a positive period; like the platform's timers, anything
    // smaller is taken as a tenth of a millisecond.
    const double period = std::isfinite(interval) && interval > 0.0001 ? interval : 0.0001;
    return addTimer(now() + period, period, true, mode, std::move(tick));
}

std::optional<double> LinuxMainLoop::nextDeadline() const {
    std::optional<double> deadline;
    for (const auto& timer : timers_) {
        if (!timer->valid) continue;
        const double latest = timer->due + timer->tolerance;
        if (!deadline || latest < *deadline) deadline = latest;
    }
    return deadline;
}

std::size_t LinuxMainLoop::timerCount() const {
    return static_cast<std::size_t>(
        std::count_if(timers_.begin(), timers_.end(), [](const auto& timer) { return timer->valid; }));
}

void LinuxMainLoop::dispatch() {
    std::size_t budget = 0;
    {
        std::lock_guard lock(mutex_);
        drainWakeLocked();
        budget = tasks_.size();
    }
    // One task at a time from the shared queue, so that a nested dispatch (a task that runs a
    // modal loop) continues in the same order instead of overtaking the rest of this batch.
    while (budget-- > 0) {
        std::function<void()> task;
        {
            std::lock_guard lock(mutex_);
            if (tasks_.empty()) break;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        if (task) task();
    }
    fireDueTimers();
    armTimerDescriptor();
}

void LinuxMainLoop::fireDueTimers() {
    const double time = now();
    // Timers made by the actions of this pass wait for the next one.
    const std::uint64_t madeBefore = nextSequence_;
    for (bool more = true; more;) {
        // The earliest due timer (in order of creation on a tie), found again after every action
        // while others were due: an action may invalidate timers or fire some from a nested
        // dispatch. (A timer that was not due cannot become due in this pass.)
        const std::shared_ptr<TimerState>* earliest = nullptr;
        int due = 0;
        for (const auto& timer : timers_) {
            if (!timer->valid || timer->due > time || timer->sequence >= madeBefore) continue;
            ++due;
            if (!earliest || timer->due < (*earliest)->due ||
                (timer->due == (*earliest)->due && timer->sequence < (*earliest)->sequence)) {
                earliest = &timer;
            }
        }
        if (!earliest) break;
        more = due > 1;
        const std::shared_ptr<TimerState> timer = *earliest;
        const auto action = timer->action;
        if (timer->repeats) {
            // Ticks missed while the loop was busy or asleep are skipped, not made up.
            const double missed = std::floor((time - timer->due) / timer->interval);
            timer->due += (missed + 1) * timer->interval;
        } else {
            timer->invalidate();
        }
        if (action) (*action)();
    }
    std::erase_if(timers_, [](const auto& timer) { return !timer->valid; });
}

// The timer descriptor is set only when the next deadline moved, or when it expired (setting it
// again is what makes it unreadable).
void LinuxMainLoop::armTimerDescriptor() {
    const auto deadline = nextDeadline();
    if (deadline == armedDeadline_ && !(armedDeadline_ && *armedDeadline_ <= now())) return;
    itimerspec setting{};
    if (deadline) {
        // An absolute time of zero would disarm it; the clock is far past that anyway.
        const double at = std::max(*deadline, 1e-9);
        setting.it_value.tv_sec = static_cast<time_t>(at);
        setting.it_value.tv_nsec = static_cast<long>((at - std::floor(at)) * 1e9);
    }
    [[maybe_unused]] const int result = ::timerfd_settime(timerFd_, TFD_TIMER_ABSTIME, &setting, nullptr);
    armedDeadline_ = deadline;
}

void LinuxMainLoop::run() {
    while (!stopRequested_.load()) {
        dispatch();
        if (stopRequested_.load()) break;
        pollfd descriptors[] = {{wakeFd_, POLLIN, 0}, {timerFd_, POLLIN, 0}};
        // An interrupted or failed wait only means the next round comes sooner.
        [[maybe_unused]] const int ready = ::poll(descriptors, 2, -1);
    }
    stopRequested_.store(false);
}

void LinuxMainLoop::stop() {
    stopRequested_.store(true);
    signal();
}

}  // namespace kestrum
