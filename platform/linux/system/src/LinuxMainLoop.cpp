#include "kestrum/linux/LinuxMainLoop.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
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
    std::function<void()> action;

    void invalidate() {
        valid = false;
        action = nullptr;  // let go of what the action captured at once
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

// Without a wake descriptor the loop cannot work at all (the process is out of descriptors
// before it has started), so that is the one failure reported by throwing.
LinuxMainLoop::LinuxMainLoop() {
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
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
    ::close(wakeFd_);
}

void LinuxMainLoop::signal() const {
    const std::uint64_t one = 1;
    // A full counter (never reached in practice) still leaves the descriptor readable.
    [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
}

void LinuxMainLoop::drainWake() const {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto read = ::read(wakeFd_, &count, sizeof count);
}

void LinuxMainLoop::post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    signal();
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
    state->action = std::move(action);
    timers_.push_back(state);
    signal();  // a foreign loop re-reads nextDeadline()
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
        drainWake();
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
}

void LinuxMainLoop::fireDueTimers() {
    std::erase_if(timers_, [](const auto& timer) { return !timer->valid; });
    const double time = now();
    std::vector<std::shared_ptr<TimerState>> due;
    for (const auto& timer : timers_) {
        if (timer->due <= time) due.push_back(timer);
    }
    std::sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
        return a->due != b->due ? a->due < b->due : a->sequence < b->sequence;
    });
    for (const auto& timer : due) {
        // An earlier action may have invalidated it, or fired it already from a nested dispatch.
        if (!timer->valid || timer->due > time) continue;
        auto action = timer->action;  // the action may invalidate its own timer
        if (timer->repeats) {
            // Ticks missed while the loop was busy or asleep are skipped, not made up.
            const double missed = std::floor((time - timer->due) / timer->interval);
            timer->due += (missed + 1) * timer->interval;
        } else {
            timer->invalidate();
        }
        if (action) action();
    }
    std::erase_if(timers_, [](const auto& timer) { return !timer->valid; });
}

void LinuxMainLoop::run() {
    while (!stopRequested_.load()) {
        dispatch();
        if (stopRequested_.load()) break;
        int timeout = -1;
        if (const auto deadline = nextDeadline()) {
            const double wait = std::ceil((*deadline - now()) * 1000.0);
            timeout = wait <= 0 ? 0 : static_cast<int>(std::min(wait, static_cast<double>(INT_MAX)));
        }
        pollfd descriptor{wakeFd_, POLLIN, 0};
        // An interrupted or failed wait only means the next round comes sooner.
        [[maybe_unused]] const int ready = ::poll(&descriptor, 1, timeout);
    }
    stopRequested_.store(false);
}

void LinuxMainLoop::stop() {
    stopRequested_.store(true);
    signal();
}

}  // namespace kestrum
