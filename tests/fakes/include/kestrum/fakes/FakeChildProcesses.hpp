#pragma once
// Children of this program as a test sees them: every start is recorded, and the test lets a
// child answer (on the test's thread, as the port's own thread would) or leaves it hanging.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kestrum/ports/ChildProcesses.hpp"

namespace kestrum::fakes {

class FakeChildProcesses : public ChildProcesses {
public:
    struct Child {
        std::vector<std::string> arguments;
        std::function<void(ChildAnswer)> done;
        bool answered = false;
        bool ended = false;  // end() was called
        bool running() const { return !answered && !ended; }
    };
    std::vector<std::shared_ptr<Child>> started;
    bool refuseStarts = false;  // as when no process can be made
    std::size_t mostAtOnce = 0;

    std::unique_ptr<ChildRun> runSelf(const std::vector<std::string>& arguments,
                                      std::function<void(ChildAnswer)> done) override {
        if (refuseStarts) return nullptr;
        started.push_back(std::make_shared<Child>(Child{arguments, std::move(done)}));
        mostAtOnce = std::max(mostAtOnce, runningCount());
        return std::make_unique<Run>(started.back());
    }

    std::size_t runningCount() const {
        return static_cast<std::size_t>(
            std::count_if(started.begin(), started.end(), [](const auto& child) { return child->running(); }));
    }
    // The latest child writes `line` and a line feed and exits with `exitCode`.
    void answer(const std::string& line, int exitCode = 0) { answer(ChildAnswer{line, true, exitCode}); }
    void answer(ChildAnswer answer) {
        if (started.empty()) return;
        const auto child = started.back();
        child->answered = true;
        if (child->done) child->done(std::move(answer));
    }

private:
    class Run final : public ChildRun {
    public:
        explicit Run(std::shared_ptr<Child> child) : child_(std::move(child)) {}
        void end() override { child_->ended = true; }

    private:
        std::shared_ptr<Child> child_;
    };
};

}  // namespace kestrum::fakes
