// Children started through the port: what they get and what comes back. The "program" is the
// shell, so that each test says what the child does.
#include "kestrum/posix/PosixChildProcesses.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kestrum {
namespace {

using namespace std::chrono_literals;

// Answers as the port's thread delivers them.
class Answers {
public:
    std::function<void(ChildAnswer)> receiver() {
        return [this](ChildAnswer answer) {
            const std::lock_guard<std::mutex> lock(mutex_);
            answers_.push_back(std::move(answer));
            arrived_.notify_all();
        };
    }
    std::optional<ChildAnswer> next(std::chrono::milliseconds patience = 10s) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!arrived_.wait_for(lock, patience, [&] { return taken_ < answers_.size(); })) return std::nullopt;
        return answers_[taken_++];
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<ChildAnswer> answers_;
    std::size_t taken_ = 0;
};

PosixChildProcesses shell() {
    return PosixChildProcesses([] { return std::string("/bin/sh"); });
}

// Starts `script` once the last child has been reaped (the port refuses to start until then).
std::unique_ptr<ChildRun> runWhenFree(PosixChildProcesses& children, const std::string& script, Answers& answers) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (auto run = children.runSelf({"-c", script}, answers.receiver())) return run;
        std::this_thread::sleep_for(10ms);
    }
    return nullptr;
}

TEST(PosixChildProcessesTests, TheFirstLineAndHowTheChildEnded) {
    struct Case {
        std::string script;
        ChildAnswer answer;
    };
    const std::string longLine(ChildAnswer::lineLimit + 10, 'x');
    const std::vector<Case> cases{
        {"printf 'one\\ntwo\\n'; exit 0", {"one", true, 0}},
        {"printf 'cut'; exit 3", {"cut", false, 3}},
        {"exit 0", {"", false, 0}},
        {"printf 'a\\n'; kill -KILL $$", {"a", true, std::nullopt}},
        {"printf '" + longLine + "\\n'", {longLine.substr(0, ChildAnswer::lineLimit), false, 0}},
        // Much more after the line than a pipe holds: drained, so the child is never stuck.
        {"echo first; head -c 300000 /dev/zero; exit 4", {"first", true, 4}},
    };
    auto children = shell();
    Answers answers;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        ASSERT_NE(runWhenFree(children, c.script, answers), nullptr);
        EXPECT_EQ(answers.next(), c.answer);
    }
}

TEST(PosixChildProcessesTests, TheChildGetsNothingOfOursButItsPipeAndIsReaped) {
    const int inheritable = ::open("/dev/null", O_RDONLY);  // as a careless host leaves one
    ASSERT_GE(inheritable, 3);
    auto children = shell();
    Answers answers;
    // The shell lists its open descriptors above 2 before anything of its own opens one.
    ASSERT_NE(runWhenFree(children,
                          "l=; for n in 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 " + std::to_string(inheritable) +
                              "; do [ -e /proc/$$/fd/$n ] && l=\"$l $n\"; done; "
                              "echo \"$$ $(readlink /proc/$$/fd/0) $(readlink /proc/$$/fd/2)$l\"",
                          answers),
              nullptr);
    const auto answer = answers.next();
    ::close(inheritable);
    ASSERT_TRUE(answer.has_value());
    const auto pid = std::stoi(answer->line);
    EXPECT_EQ(answer->line.substr(answer->line.find(' ') + 1), "/dev/null /dev/null") << answer->line;
    // Reaped before the answer: not even a zombie is left.
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(PosixChildProcessesTests, EndKillsAHangingChildAndNeverTwoRunAtOnce) {
    auto children = shell();
    Answers answers;
    auto hanging = runWhenFree(children, "echo $$; exec sleep 60", answers);
    ASSERT_NE(hanging, nullptr);
    // While it runs (and until it is reaped) no second child starts.
    EXPECT_EQ(children.runSelf({"-c", "exit 0"}, answers.receiver()), nullptr);
    std::this_thread::sleep_for(100ms);
    hanging->end();
    hanging->end();  // harmless
    EXPECT_FALSE(answers.next(300ms).has_value()) << "an ended child's answer is not wanted";
    // Free again once the killed child is reaped, well within a second.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_NE(runWhenFree(children, "echo next", answers), nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(answers.next().value_or(ChildAnswer{}).line, "next");

    // Ending a child that is done already does nothing.
    auto finished = runWhenFree(children, "echo done", answers);
    ASSERT_NE(finished, nullptr);
    EXPECT_EQ(answers.next().value_or(ChildAnswer{}).line, "done");
    finished->end();
    // A program that cannot be started gives no run, and leaves the port free for the next.
    int starts = 0;
    PosixChildProcesses firstMissing([&starts] { return std::string(starts++ == 0 ? "/nonexistent/program" : "/bin/sh"); });
    EXPECT_EQ(firstMissing.runSelf({}, answers.receiver()), nullptr);
    EXPECT_NE(firstMissing.runSelf({"-c", "exit 0"}, answers.receiver()), nullptr);
    EXPECT_TRUE(answers.next().has_value());
}

}  // namespace
}  // namespace kestrum
