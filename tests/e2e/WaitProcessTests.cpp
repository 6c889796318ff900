// wait as a host runs it: real processes, the test build's permission answers changed while the
// helper waits, a host that goes away or a signal, and the new words' parse errors.
#include <sys/prctl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "HelperEnvironment.hpp"
#include "HelperProcess.hpp"
#include "X11TestServer.hpp"

namespace kestrum::e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class WaitProcessTests : public OutputSchemaCheckedTest {
protected:
    // The test build with its permission answers in a file of this test.
    HelperRun testBuild(const std::vector<std::string>& arguments) {
        HelperRun run;
        run.program = KESTRUM_TEST_BUILD_HELPER_PATH;
        run.arguments = arguments;
        run.environment.push_back("KESTRUM_TEST_PERMISSION_ANSWERS=" + (temp_ / "answers"));
        return run;
    }
    // Replaces the answers at once: a reading never sees a file half written.
    void answer(const std::string& answers) {
        temp_.write("answers.new", answers);
        std::filesystem::rename(temp_ / "answers.new", temp_ / "answers");
    }

    TempDirectory temp_;
};

std::string statusLine(const std::string& kind, const std::string& state) {
    return R"({"success":true,"kind":")" + kind + R"(","status":")" + state + "\"}\n";
}

TEST_F(WaitProcessTests, TheLineComesWithinAboutASecondOfTheChange) {
    struct Case {
        const char* kind;
        const char* before;
        const char* after;
    };
    for (const Case c : {Case{"screenRecording", "notGranted", "granted"}, Case{"microphone", "notGranted", "unknown"}}) {
        SCOPED_TRACE(c.kind);
        answer(std::string(c.kind) + "=" + c.before + "\n");
        Clock::time_point changed;
        std::thread host([&] {
            std::this_thread::sleep_for(1500ms);  // a reading or two say not yet
            answer(std::string(c.kind) + "=" + c.after + "\n");
            changed = Clock::now();
        });
        const auto result = runHelper(testBuild({"wait", c.kind, "--timeout", "60"}));
        const auto ended = Clock::now();
        host.join();
        EXPECT_EQ(result.standardOutput, statusLine(c.kind, c.after));
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.standardError, "");
        // A reading starts every second: the next one sees the change. (Far below the timeout;
        // the time itself is the benchmark's business.)
        EXPECT_LT(ended - changed, 5s);
    }
    // Without a change, the state at the timeout.
    answer("screenRecording=notGranted\n");
    const auto result = runHelper(testBuild({"wait", "screenRecording", "--timeout", "1.5"}));
    EXPECT_EQ(result.standardOutput, statusLine("screenRecording", "notGranted"));
    EXPECT_EQ(result.exitCode, 0);
}

// Orphans of the helper come to this process, which collects them: true when none is left
// within `patience`, counting any that was.
bool noChildLeft(std::chrono::milliseconds patience, int& orphans) {
    const auto deadline = Clock::now() + patience;
    while (Clock::now() < deadline) {
        const pid_t reaped = ::waitpid(-1, nullptr, WNOHANG);
        if (reaped < 0 && errno == ECHILD) return true;
        if (reaped > 0) ++orphans;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST_F(WaitProcessTests, AHostThatGoesAwayOrASignalEndsTheWaitAndLeavesNoChild) {
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    enum class End { closedPipe, terminated, killedDuringAHangingReading };
    for (const End end : {End::closedPipe, End::terminated, End::killedDuringAHangingReading}) {
        SCOPED_TRACE(static_cast<int>(end));
        std::filesystem::remove(temp_ / "answers");
        if (end == End::killedDuringAHangingReading) {
            // A reading opens the answers; a FIFO nobody writes holds it there.
            ASSERT_EQ(::mkfifo((temp_ / "answers").c_str(), 0600), 0);
        } else {
            answer("screenRecording=notGranted\n");
        }
        int out[2];
        ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
        HelperRun run = testBuild({"wait", "screenRecording", "--timeout", "60"});
        run.arguments.insert(run.arguments.begin(), run.program);
        const pid_t helper = x11test::spawnProcess(run.arguments, run.environment, out[1]);
        ASSERT_GT(helper, 0);
        ::close(out[1]);

        // Readings at 0, 1 and 2 seconds; a hanging one is under way from the start.
        std::this_thread::sleep_for(end == End::killedDuringAHangingReading ? 500ms : 2500ms);
        const auto gone = Clock::now();
        if (end == End::closedPipe) ::close(out[0]);
        if (end == End::terminated) ::kill(helper, SIGTERM);
        if (end == End::killedDuringAHangingReading) ::kill(helper, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(helper, &status, 0), helper);
        if (end == End::closedPipe) {
            // At its next reading, within about a second.
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            EXPECT_LT(Clock::now() - gone, 3s);
        } else {
            // Ended by the signal, without a line.
            EXPECT_TRUE(WIFSIGNALED(status)) << status;
            EXPECT_EQ(detail::drainNow(out[0]), "");
            ::close(out[0]);
        }
        int orphans = 0;
        const bool none = noChildLeft(1s, orphans);
        EXPECT_TRUE(none) << "a child of the helper is still running";
        if (!none) {
            // Let a reading held by the FIFO go, so that the next test does not inherit it.
            ::close(::open((temp_ / "answers").c_str(), O_WRONLY | O_NONBLOCK));
            noChildLeft(5s, orphans);
        }
    }
}

TEST_F(WaitProcessTests, ParseErrorsOfTheNewWords) {
    const std::string timeout =
        R"({"success":false,"kind":"unknown","error":"--timeout must be a number of seconds from 0 to 86400"})" "\n";
    const std::string appURL = R"({"success":false,"kind":"unknown","error":"--app-url must point to the Tazel .app bundle"})" "\n";
    const std::string usage =
        R"({"success":false,"kind":"unknown","error":"Usage: authorize|open|status <permission-kind> [--app-url <Tazel.app>]"})" "\n";
    struct Row {
        std::vector<std::string> arguments;
        std::string line;
        int exitCode;
    };
    const std::vector<Row> rows{
        {{"wait", "accessibility", "--timeout"}, timeout, 2},
        {{"wait", "accessibility", "--timeout", ""}, timeout, 2},
        {{"wait", "accessibility", "--timeout", "soon"}, timeout, 2},
        {{"wait", "accessibility", "--timeout", "10s"}, timeout, 2},
        {{"wait", "accessibility", "--timeout", "-1"}, timeout, 2},
        {{"wait", "accessibility", "--timeout", "inf"}, timeout, 2},
        {{"wait", "accessibility", "--timeout", "nan"}, timeout, 2},
        {{"wait", "accessibility", "--timeout", "1e9"}, timeout, 2},
        {{"wait", "accessibility", "--timeout", "86401"}, timeout, 2},
        {{"wait", "accessibility", "--timeout", "--timeout", "5"}, timeout, 2},
        // Parse errors come before the refusal of full disk access.
        {{"wait", "fullDiskAccess", "--timeout", "x"}, timeout, 2},
        {{"wait"}, usage, 2},
        {{"Wait", "accessibility"}, R"({"success":false,"kind":"unknown","error":"Unsupported action: Wait"})" "\n", 2},
        {{"wait", "Screen Recording"},
         R"({"success":false,"kind":"unknown","error":"Unsupported permission kind: Screen Recording"})" "\n", 2},
        {{"authorize", "accessibility", "--close-when-granted"}, appURL, 2},
        {{"authorize", "accessibility", "--app-url", "--close-when-granted"}, appURL, 2},
        // The other actions ignore the new words, as they ignore every further argument.
        {{"status", "screenRecording", "--timeout", "x", "--close-when-granted"}, statusLine("screenRecording", "notGranted"), 0},
        {{"open", "bluetooth", "--timeout"}, R"({"success":true,"kind":"bluetooth"})" "\n", 0},
    };
    for (const Row& row : rows) {
        const std::string shown = testing::PrintToString(row.arguments);
        HelperRun run;
        run.arguments = row.arguments;
        // open hands its URL to an opener that does nothing.
        run.environment = {"PATH=/nonexistent", "LC_ALL=C.UTF-8"};
        const auto result = runHelper(run);
        EXPECT_EQ(result.standardOutput, row.line) << shown;
        EXPECT_EQ(result.exitCode, row.exitCode) << shown;
        EXPECT_EQ(result.standardError, "") << shown;
    }
}

xcb_window_t activeWindow(const x11test::XServer& server) {
    const auto active = server.cardinals(server.root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW);
    return active.empty() ? static_cast<xcb_window_t>(XCB_WINDOW_NONE) : active.front();
}

// Asks the window manager to activate the window, as a pager (or a click) would.
bool activate(const x11test::XServer& server, xcb_window_t window) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = server.atom("_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 2;
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(server.connection(), 0, server.root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(server.connection());
    return server.waitUntil([&] { return activeWindow(server) == window; });
}

// The whole sequence a host runs on a desktop, with a window manager: the host's window in front,
// authorize --close-when-granted and wait beside it, the user in the settings window, then the
// grant. wait answers, the panel closes and the focus goes back to the host's window.
TEST_F(WaitProcessTests, OnTheDesktopTheGrantEndsWaitAndTheFlowAndTheFocusGoesBackToTheHost) {
    const std::string shell = std::filesystem::path(KESTRUM_TEST_BUILD_HELPER_PATH).parent_path() / "libKestrumDesktop.so";
    if (!std::filesystem::exists(shell)) GTEST_SKIP() << "no desktop shell in this build";
    x11test::XServer::Options options;
    options.windowManager = true;
    const x11test::XServer server(options);
    if (!server.started()) GTEST_SKIP() << "Xvfb or openbox is not available";
    const x11test::WindowGeometry settingsFrame{100, 50, 900, 600};
    const xcb_window_t settings =
        server.makeWindow(settingsFrame, "System Settings", "com.apple.systempreferences", 424242);
    const xcb_window_t host = server.makeWindow({1050, 600, 300, 200}, "tazel", "com.example.Tazel",
                                                static_cast<std::uint32_t>(::getpid()));
    ASSERT_TRUE(activate(server, host));

    answer("accessibility=notGranted\n");
    // The sanitizer builds drop the reports of the desktop's libraries (the others ignore them).
    std::vector<std::string> environment = server.environment(
        {"KESTRUM_TEST_PERMISSION_ANSWERS=" + (temp_ / "answers"), "KESTRUM_TEST_KEEP_ALIVE_SECONDS=120",
         "LSAN_OPTIONS=print_suppressions=0:suppressions=" KESTRUM_LSAN_SUPPRESSIONS});
    desktop::addThreadSanitizerSuppressions(environment);
    x11test::Child flow({KESTRUM_TEST_BUILD_HELPER_PATH, "authorize", "accessibility", "--app-url",
                         "/Applications/Tazel.app", "--close-when-granted"},
                        environment);
    x11test::Child waiting({KESTRUM_TEST_BUILD_HELPER_PATH, "wait", "accessibility", "--timeout", "120"}, environment);
    const auto flowLine = flow.readLine();
    ASSERT_EQ(flowLine.value_or("") + "\n", statusLine("accessibility", "notGranted"));
    helperOutputs().push_back(*flowLine + "\n");

    // The user is in the settings, the panel docked below them.
    ASSERT_TRUE(activate(server, settings));
    const auto settingsGeometry = server.geometry(settings);
    ASSERT_TRUE(settingsGeometry.has_value());
    const auto docked = server.waitForWindow(flow.pid(), [&](const x11test::WindowGeometry& g) {
        return g.x == settingsGeometry->x + 230 && g.y == settingsGeometry->y + settingsGeometry->height + 3;
    });
    ASSERT_TRUE(docked.has_value()) << "the helper's windows:" << server.describeWindowsOf(flow.pid());
    std::this_thread::sleep_for(1500ms);  // readings say not yet
    EXPECT_EQ(flow.waitForExit(0ms), std::nullopt);

    answer("accessibility=granted\n");
    const auto waitLine = waiting.readLine(10s);
    EXPECT_EQ(waitLine.value_or("") + "\n", statusLine("accessibility", "granted"));
    if (waitLine) helperOutputs().push_back(*waitLine + "\n");
    EXPECT_EQ(waiting.waitForExit(5s), 0);
    // The flow ends as the close button ends it: no panel, the host's window active again, exit 0.
    const auto flowStatus = flow.waitForExit(10s);
    EXPECT_TRUE(flowStatus && WIFEXITED(*flowStatus) && WEXITSTATUS(*flowStatus) == 0) << flowStatus.value_or(-1);
    EXPECT_TRUE(server.waitUntil([&] { return activeWindow(server) == host; }, 5s))
        << "active: " << activeWindow(server) << ", host: " << host;
    EXPECT_EQ(flow.readLine(0ms), std::nullopt) << "one line only";
}

}  // namespace
}  // namespace kestrum::e2e
