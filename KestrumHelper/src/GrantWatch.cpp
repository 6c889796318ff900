#include "kestrum/helper/GrantWatch.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "kestrum/PermissionStatusRegistry.hpp"
#include "kestrum/helper/HelperOutput.hpp"
#include "kestrum/ports/Platform.hpp"

namespace kestrum {

bool GrantWatch::isReadable(KestrumPane pane) {
    return pane != KestrumPane::fullDiskAccess &&
           PermissionStatusRegistry::provider(pane)->capability() != PermissionStatusCapability::unsupported;
}

std::shared_ptr<GrantWatch> GrantWatch::start(KestrumPane pane, double timeout, std::function<bool()> shouldStop,
                                              std::function<void(Outcome)> onEnd) {
    auto watch = std::make_shared<GrantWatch>(Token{}, pane, timeout, std::move(shouldStop), std::move(onEnd));
    MainLoop& loop = *platform().mainLoop;
    watch->startTime_ = loop.now();
    const std::weak_ptr<GrantWatch> weak = watch;
    if (!(timeout > 0)) {
        watch->timeIsUp_ = true;  // one reading, taken as the answer
    } else if (std::isfinite(timeout)) {
        watch->deadline_ = loop.scheduleOnce(timeout, [weak] {
            if (const auto self = weak.lock()) self->deadlineReached();
        });
    }
    watch->step(0);
    return watch;
}

GrantWatch::GrantWatch(Token, KestrumPane pane, double timeout, std::function<bool()> shouldStop,
                       std::function<void(Outcome)> onEnd)
    : pane_(pane), timeout_(timeout), shouldStop_(std::move(shouldStop)), onEnd_(std::move(onEnd)) {}

GrantWatch::~GrantWatch() {
    if (child_) child_->end();
}

std::optional<PermissionAuthorizationState> GrantWatch::stateFromAnswer(KestrumPane pane, const ChildAnswer& answer) {
    if (answer.exitCode != 0 || !answer.lineEnded) return std::nullopt;
    for (const auto state : allCases<PermissionAuthorizationState>()) {
        if (answer.line == encodeHelperOutput(statusOutput(pane, state))) return state;
    }
    return std::nullopt;
}

// Step `index` runs `index` intervals after the start. The steps are counted rather than timed,
// so that whether a step may still start a reading never depends on how late its timer fired.
void GrantWatch::step(int index) {
    if (ended_) return;
    if (shouldStop_ && shouldStop_()) {
        finish(Ending::stopped);
        return;
    }
    if (readingUnderWay_) {
        endReading();  // it has had its interval
        if (timeIsUp_) {
            finish(Ending::timedOut);
            return;
        }
    }
    if (index == 0 || index * readingInterval < timeout_) startReading();
    // Nothing under way once the time is up (the one reading of a timeout of 0 did not start).
    if (timeIsUp_ && !readingUnderWay_) {
        finish(Ending::timedOut);
        return;
    }

    MainLoop& loop = *platform().mainLoop;
    const double due = startTime_ + (index + 1) * readingInterval;
    const std::weak_ptr<GrantWatch> weak = weak_from_this();
    nextStep_ = loop.scheduleOnce(std::max(0.0, due - loop.now()), [weak, index] {
        if (const auto self = weak.lock()) self->step(index + 1);
    });
}

void GrantWatch::startReading() {
    const std::uint64_t reading = ++readingsStarted_;
    const std::shared_ptr<ChildProcesses> children = platform().childProcesses;
    if (!children) return;  // counts as not yet
    const std::weak_ptr<GrantWatch> weak = weak_from_this();
    const std::weak_ptr<MainLoop> loop = platform().mainLoop;
    // The answer comes on the port's thread and is taken on the main thread.
    child_ = children->runSelf({"status", std::string(rawValue(pane_))}, [weak, loop, reading](ChildAnswer answer) {
        if (const auto mainLoop = loop.lock()) {
            mainLoop->post([weak, reading, answer = std::move(answer)] {
                if (const auto self = weak.lock()) self->answered(reading, answer);
            });
        }
    });
    if (child_) readingUnderWay_ = reading;
}

void GrantWatch::endReading() {
    if (const auto child = std::move(child_)) child->end();
    readingUnderWay_ = 0;
}

void GrantWatch::answered(std::uint64_t reading, const ChildAnswer& answer) {
    // An answer of a reading that was ended already is no longer wanted.
    if (ended_ || reading != readingUnderWay_) return;
    child_.reset();
    readingUnderWay_ = 0;
    if (shouldStop_ && shouldStop_()) {
        finish(Ending::stopped);
        return;
    }
    const auto state = stateFromAnswer(pane_, answer);
    if (state == PermissionAuthorizationState::granted) {
        finish(Ending::granted);
        return;
    }
    if (state == PermissionAuthorizationState::unknown) {
        finish(Ending::neverGranted);
        return;
    }
    if (state) lastState_ = state;
    if (timeIsUp_) finish(Ending::timedOut);
}

void GrantWatch::deadlineReached() {
    if (ended_) return;
    timeIsUp_ = true;
    // A reading under way gets the rest of its interval.
    if (!readingUnderWay_) finish(Ending::timedOut);
}

void GrantWatch::finish(Ending ending) {
    if (ended_) return;
    ended_ = true;
    endReading();
    if (nextStep_) nextStep_->invalidate();
    if (deadline_) deadline_->invalidate();

    PermissionAuthorizationState state = PermissionAuthorizationState::granted;
    if (ending == Ending::neverGranted) {
        state = PermissionAuthorizationState::unknown;
    } else if (ending != Ending::granted) {
        state = lastState_ ? *lastState_ : PermissionStatusRegistry::provider(pane_)->authorizationState();
    }
    const auto onEnd = std::move(onEnd_);
    if (onEnd) onEnd(Outcome{ending, state});
}

}  // namespace kestrum
