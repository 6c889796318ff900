#include "kestrum/fakes/FakeMainLoop.hpp"

#include <algorithm>

namespace kestrum::fakes {

void FakeTimer::invalidate() {
    valid_ = false;
    action_ = nullptr;  // the loop no longer holds what the timer captured
}

void FakeTimer::fireAt(double time) {
    if (!valid_) return;
    ++fireCount_;
    auto action = action_;  // the action may invalidate this timer
    if (repeats_) {
        due_ = time + interval_;
    } else {
        invalidate();
    }
    if (action) action();
}

void FakeMainLoop::post(std::function<void()> task) { tasks_.push_back(std::move(task)); }

std::shared_ptr<Timer> FakeMainLoop::scheduleOnce(double seconds, std::function<void()> task) {
    auto timer = std::make_shared<FakeTimer>(now_ + std::max(0.0, seconds), 0, false, RunLoopMode::defaultMode,
                                             std::move(task));
    timers_.push_back(timer);
    return timer;
}

std::shared_ptr<Timer> FakeMainLoop::scheduleRepeating(double interval, RunLoopMode mode, std::function<void()> tick) {
    auto timer = std::make_shared<FakeTimer>(now_ + interval, interval, true, mode, std::move(tick));
    timers_.push_back(timer);
    return timer;
}

bool FakeMainLoop::runNextTask() {
    if (tasks_.empty()) return false;
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    if (task) task();
    return true;
}

std::size_t FakeMainLoop::runPendingTasks() {
    std::size_t count = 0;
    while (runNextTask()) ++count;
    return count;
}

void FakeMainLoop::advance(double seconds) {
    const double end = now_ + seconds;
    for (;;) {
        std::erase_if(timers_, [](const auto& t) { return !t->isValid(); });
        std::shared_ptr<FakeTimer> next;
        for (const auto& timer : timers_) {
            if (timer->due() <= end && (!next || timer->due() < next->due())) next = timer;
        }
        if (!next) break;
        now_ = std::max(now_, next->due());
        next->fireAt(now_);
        runPendingTasks();
    }
    now_ = end;
}

void FakeMainLoop::fire(const std::shared_ptr<Timer>& timer) {
    if (auto fake = std::dynamic_pointer_cast<FakeTimer>(timer)) {
        fake->fireAt(now_);
        runPendingTasks();
    }
}

std::vector<std::shared_ptr<FakeTimer>> FakeMainLoop::activeTimers() const {
    std::vector<std::shared_ptr<FakeTimer>> result;
    for (const auto& timer : timers_) {
        if (timer->isValid()) result.push_back(timer);
    }
    return result;
}

}  // namespace kestrum::fakes
