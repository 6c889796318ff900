// wait and authorize --close-when-granted, run step by step on the virtual clock: each reading is
// a child the test answers (or leaves hanging), and the line, the exit and the time they come
// are checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "kestrum/FloatingDropPanel.hpp"
#include "kestrum/KestrumController.hpp"
#include "kestrum/fakes/FakePlatform.hpp"
#include "kestrum/helper/KestrumHelperRunner.hpp"

namespace kestrum {
namespace {

std::string statusLine(const std::string& kind, const std::string& state) {
    return R"({"success":true,"kind":")" + kind + R"(","status":")" + state + "\"}";
}

// A reading's answer: the child's line, or a child that never answers.
struct Reading {
    std::optional<ChildAnswer> answer;
    static Reading says(const std::string& kind, const std::string& state) {
        return Reading{ChildAnswer{statusLine(kind, state), true, 0}};
    }
    static Reading hangs() { return Reading{}; }
};

// One helper process: the faked platform, the runner, and when the process ended.
struct Session {
    fakes::FakePlatform fake;
    std::shared_ptr<KestrumHelperRunner> runner = std::make_shared<KestrumHelperRunner>();
    std::optional<double> endedAt_;

    Session() { fake.fileSystem->directories[fake.fileSystem->bundlePath + "/Kestrum_Kestrum.bundle"] = {}; }
    ~Session() { helperKeepAliveSeconds = 300; }

    // Runs the command, then lets the readings answer in order, each a moment after it started,
    // until the process ends or the readings run out. When the process ended, on the virtual clock.
    std::optional<double> run(const std::vector<std::string>& arguments, const std::vector<Reading>& readings = {}) {
        runner->run(arguments);
        for (const Reading& reading : readings) {
            if (ended()) break;
            const auto children = fake.childProcesses->started.size();
            if (children == 0 || !fake.childProcesses->started.back()->running()) {
                // To the next whole second, when the next reading starts.
                const double now = fake.mainLoop->now();
                wait(std::floor(now / GrantWatch::readingInterval + 1) * GrantWatch::readingInterval - now);
            }
            if (ended()) break;
            EXPECT_TRUE(fake.childProcesses->started.back()->running()) << "no reading under way";
            if (reading.answer) answer(*reading.answer, 0.01);
        }
        return endedAt();
    }
    // The latest reading answers `after` seconds from now.
    void answer(const ChildAnswer& answer, double after = 0) {
        wait(after);
        fake.childProcesses->answer(answer);
        fake.mainLoop->runPendingTasks();
        ended();
    }
    void answer(const std::string& line) { answer(ChildAnswer{line, true, 0}); }
    // Lets time pass while no reading answers, timer by timer, and no further once the process
    // has ended (so that the time it ended is exact).
    void wait(double seconds) {
        const double until = fake.mainLoop->now() + seconds;
        while (!ended()) {
            double next = until;
            for (const auto& timer : fake.mainLoop->activeTimers()) next = std::min(next, timer->due());
            fake.mainLoop->advance(next - fake.mainLoop->now());
            if (next >= until) break;
        }
        ended();
    }
    bool ended() {
        const bool now = fake.output->exitCode.has_value() || fake.application->terminations > 0;
        if (now && !endedAt_) endedAt_ = fake.mainLoop->now();
        return now;
    }
    std::optional<double> endedAt() {
        ended();
        return endedAt_;
    }
};

TEST(GrantWatchTests, WaitAnswersGrantedAtTheReadingThatSeesItOrTheLastStateAtTheTimeout) {
    const auto notYet = Reading::says("accessibility", "notGranted");
    const auto granted = Reading::says("accessibility", "granted");
    auto grantedAt = [&](std::size_t reading) {
        std::vector<Reading> readings(reading - 1, notYet);
        readings.push_back(granted);
        return readings;
    };
    struct Case {
        const char* name;
        std::vector<Reading> readings;
        std::string state;
        double endsAt;
        std::size_t children;
    };
    // With a timeout of 10 the readings start at 0, 1, ... 9.
    const std::vector<Case> cases{
        {"the first reading", grantedAt(1), "granted", 0.01, 1},
        {"the fifth reading", grantedAt(5), "granted", 4.01, 5},
        {"the last reading", grantedAt(10), "granted", 9.01, 10},
        {"no reading", std::vector<Reading>(10, notYet), "notGranted", 10, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Session session;
        session.run({"wait", "accessibility", "--timeout", "10"}, c.readings);
        session.wait(1.5);
        const auto& fake = session.fake;
        EXPECT_EQ(fake.output->standardOutput, statusLine("accessibility", c.state) + "\n");
        EXPECT_EQ(fake.output->exitCode, 0);
        EXPECT_NEAR(session.endedAt().value_or(-1), c.endsAt, 1e-9);
        EXPECT_EQ(fake.childProcesses->started.size(), c.children);
        EXPECT_EQ(fake.childProcesses->mostAtOnce, 1u);
        EXPECT_EQ(fake.childProcesses->started.front()->arguments, (std::vector<std::string>{"status", "accessibility"}));
        EXPECT_TRUE(fake.mainLoop->activeTimers().empty());
    }
}

TEST(GrantWatchTests, AFailingReadingCountsAsNotYet) {
    const std::string granted = statusLine("microphone", "granted");
    const std::vector<std::pair<const char*, ChildAnswer>> failures{
        {"exit code 1", {granted, true, 1}},
        {"ended by a signal", {granted, true, std::nullopt}},
        {"no line feed", {granted, false, 0}},
        {"another kind", {statusLine("accessibility", "granted"), true, 0}},
        {"a parse error",
         {R"({"success":false,"kind":"unknown","error":"Usage: authorize|open|status <permission-kind> [--app-url <Tazel.app>]"})",
          true, 2}},
        {"spaces", {R"({"success": true, "kind": "microphone", "status": "granted"})", true, 0}},
        {"nothing", {"", false, 0}},
    };
    for (const auto& [name, failure] : failures) {
        SCOPED_TRACE(name);
        Session session;
        session.run({"wait", "microphone", "--timeout", "5"}, {Reading{failure}, Reading{ChildAnswer{granted, true, 0}}});
        EXPECT_EQ(session.endedAt(), 1.01);
        EXPECT_EQ(session.fake.output->standardOutput, granted + "\n");
    }
    // Readings that never succeed: at the timeout the line has the state this process reads.
    Session session;
    session.fake.permissionQueries->audio = AudioCaptureAuthorization::denied;
    session.fake.childProcesses->refuseStarts = true;
    session.run({"wait", "microphone", "--timeout", "3"});
    session.wait(3);
    EXPECT_EQ(session.endedAt(), 3);
    EXPECT_EQ(session.fake.output->standardOutput, statusLine("microphone", "notGranted") + "\n");
    EXPECT_EQ(session.fake.output->exitCode, 0);
}

TEST(GrantWatchTests, AHangingReadingIsEndedAtTheNextAndEndsTheWaitNoLaterThanItsSecond) {
    // Readings at 0, 1 and 2 for a timeout of 2.5, none answering: each is ended when the next
    // starts, and the last, still running at the timeout, when its second is over.
    Session session;
    auto& started = session.fake.childProcesses->started;
    session.run({"wait", "screenRecording", "--timeout", "2.5"});
    session.wait(1);
    ASSERT_EQ(started.size(), 2u);
    EXPECT_TRUE(started[0]->ended);
    session.wait(1);
    ASSERT_EQ(started.size(), 3u);
    EXPECT_TRUE(started[1]->ended);
    session.wait(0.99);
    EXPECT_FALSE(session.ended()) << "the last reading is still within its second";
    session.wait(0.01);
    EXPECT_EQ(session.endedAt(), 3.0);
    EXPECT_TRUE(started[2]->ended);
    EXPECT_EQ(session.fake.output->standardOutput, statusLine("screenRecording", "notGranted") + "\n");
    EXPECT_EQ(session.fake.childProcesses->mostAtOnce, 1u);

    // The same last reading seeing the grant after the timeout: granted, not a timeout. A late
    // answer of a reading that was ended already changes nothing.
    Session grant;
    grant.run({"wait", "screenRecording", "--timeout", "2.5"});
    grant.wait(2.7);
    grant.fake.childProcesses->started[0]->done(ChildAnswer{statusLine("screenRecording", "unknown"), true, 0});
    grant.answer(statusLine("screenRecording", "granted"));
    EXPECT_EQ(grant.endedAt(), 2.7);
    EXPECT_EQ(grant.fake.output->standardOutput, statusLine("screenRecording", "granted") + "\n");
}

TEST(GrantWatchTests, KindsThatCanNeverBeGrantedAnswerAtOnce) {
    struct Case {
        std::vector<std::string> arguments;
        std::optional<std::string> reading;  // what the one reading says
        std::string line;
        int exitCode;
        std::size_t children;
    };
    const std::vector<Case> cases{
        {{"wait", "fullDiskAccess"}, std::nullopt,
         R"({"success":false,"kind":"fullDiskAccess","error":"Full Disk Access status must be checked by the target app process."})",
         1, 0},
        {{"wait", "bluetooth", "--timeout", "60"}, std::nullopt, statusLine("bluetooth", "unknown"), 0, 0},
        {{"wait", "microphone"}, statusLine("microphone", "unknown"), statusLine("microphone", "unknown"), 0, 1},
        // A timeout of 0 takes one reading and answers with it.
        {{"wait", "accessibility", "--timeout", "0"}, statusLine("accessibility", "notGranted"),
         statusLine("accessibility", "notGranted"), 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[1]);
        Session session;
        session.run(c.arguments);
        if (c.reading) session.answer(*c.reading);
        EXPECT_EQ(session.fake.output->standardOutput, c.line + "\n");
        EXPECT_EQ(session.fake.output->exitCode, c.exitCode);
        EXPECT_EQ(session.endedAt(), 0);
        EXPECT_EQ(session.fake.childProcesses->started.size(), c.children);
        EXPECT_TRUE(session.fake.fileSystem->queries.empty());  // full disk access is never probed
    }
}

TEST(GrantWatchTests, AHostThatClosedItsEndOfTheOutputEndsTheWait) {
    // Seen with the next answer...
    Session session;
    session.run({"wait", "accessibility"});
    session.answer(statusLine("accessibility", "notGranted"));
    session.wait(1);
    session.fake.output->readerGone = true;
    session.answer(ChildAnswer{statusLine("accessibility", "notGranted"), true, 0}, 0.5);
    EXPECT_EQ(session.endedAt(), 1.5);
    EXPECT_EQ(session.fake.output->exitCode, 0);

    // ... or at the next step, which ends the reading under way.
    Session silent;
    silent.run({"wait", "accessibility"});
    silent.fake.output->readerGone = true;
    silent.wait(0.99);
    EXPECT_FALSE(silent.ended());
    silent.wait(0.01);
    EXPECT_EQ(silent.endedAt(), 1);
    EXPECT_EQ(silent.fake.childProcesses->started.size(), 1u);
    EXPECT_TRUE(silent.fake.childProcesses->started[0]->ended);
}

std::vector<std::string> authorizeUntilGranted(const std::string& kind) {
    return {"authorize", kind, "--app-url", "/Apps/Tazel.app", "--close-when-granted"};
}

// The application in front when the flow starts, which the close button gives the focus back to.
void editorInFront(fakes::FakePlatform& fake) {
    fake.workspace->frontmost = RunningApplication{4242, std::string("com.example.editor"), ActivationPolicy::regular};
    fake.workspace->running = {*fake.workspace->frontmost};
}

TEST(CloseWhenGrantedTests, TheGrantEndsTheFlowAsTheCloseButtonDoesAndTheProcessWithZero) {
    Session session;
    editorInFront(session.fake);
    const auto notYet = Reading::says("accessibility", "notGranted");
    session.run(authorizeUntilGranted("accessibility"), {notYet, notYet, Reading::says("accessibility", "granted")});
    EXPECT_EQ(session.endedAt(), 2.01);
    EXPECT_EQ(session.fake.application->terminations, 1);
    EXPECT_EQ(session.runner->controller->panel(), nullptr);
    EXPECT_EQ(session.fake.workspace->activatedPIDs, (std::vector<std::int32_t>{4242}));
    // Only authorize's own line, written before the first reading.
    EXPECT_EQ(session.fake.output->standardOutput, statusLine("accessibility", "notGranted") + "\n");
    EXPECT_FALSE(session.fake.output->exitCode.has_value());
    EXPECT_EQ(session.fake.childProcesses->mostAtOnce, 1u);

    // Microphone has no panel: its flow is open until the keep-alive, and the grant ends it too.
    Session microphone;
    editorInFront(microphone.fake);
    microphone.run(authorizeUntilGranted("microphone"), {Reading::says("microphone", "granted")});
    EXPECT_EQ(microphone.fake.application->terminations, 1);
    EXPECT_EQ(microphone.fake.workspace->activatedPIDs, (std::vector<std::int32_t>{4242}));
}

TEST(CloseWhenGrantedTests, WhenThePanelClosesFirstTheReadingsStopAndTheKeepAliveEndsTheProcess) {
    Session session;
    editorInFront(session.fake);
    helperKeepAliveSeconds = 30;
    const auto notYet = Reading::says("screenRecording", "notGranted");
    EXPECT_FALSE(session.run(authorizeUntilGranted("screenRecording"), {notYet, notYet}).has_value());
    session.wait(1);
    session.fake.panelWindows->made.back()->delegate->closeButtonPressed();  // the user closes the panel
    session.answer(statusLine("screenRecording", "granted"));                 // the third reading, too late
    const auto children = session.fake.childProcesses->started.size();
    session.wait(10);
    EXPECT_EQ(session.fake.childProcesses->started.size(), children);
    EXPECT_EQ(session.fake.application->terminations, 0);
    session.wait(20);
    EXPECT_EQ(session.fake.application->terminations, 1);                          // as without the option
    EXPECT_EQ(session.fake.workspace->activatedPIDs, (std::vector<std::int32_t>{4242}));  // the close button's

    // The flow ended by the settings going away: the readings stop as well.
    Session gone;
    gone.run(authorizeUntilGranted("accessibility"));
    gone.runner->controller->closePanel(false);
    gone.wait(5);
    EXPECT_EQ(gone.fake.childProcesses->started.size(), 1u);
    EXPECT_TRUE(gone.fake.childProcesses->started[0]->ended);
    EXPECT_EQ(gone.fake.application->terminations, 0);
}

TEST(CloseWhenGrantedTests, NothingIsReadWithoutTheOptionNorForKindsWithoutAState) {
    const std::vector<std::vector<std::string>> runs{
        {"authorize", "accessibility", "--app-url", "/Apps/Tazel.app"},
        authorizeUntilGranted("fullDiskAccess"),
        authorizeUntilGranted("bluetooth"),
    };
    for (const auto& arguments : runs) {
        SCOPED_TRACE(arguments[1] + " " + std::to_string(arguments.size()));
        Session session;
        session.run(arguments);
        session.wait(299);
        EXPECT_TRUE(session.fake.childProcesses->started.empty());
        EXPECT_FALSE(session.ended());
        session.wait(1);
        EXPECT_EQ(session.fake.application->terminations, 1);
    }
}

}  // namespace
}  // namespace kestrum
