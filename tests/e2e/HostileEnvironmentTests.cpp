// The helper under hostile environments and damaged installs, one grouped test per family.
// Each run must keep the helper's contract: exactly one valid line (or the missing-bundle
// message), nothing else on standard error, the right exit code, and a process that ends.
// authorize runs in a test build whose keep-alive is two seconds.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <future>
#include <set>
#include <sstream>

#include "ProgramCopy.hpp"
#include "RecordingURLHandler.hpp"
#include "UnresponsiveServers.hpp"
#include "X11TestServer.hpp"

namespace kestrum::e2e {
namespace {

namespace fs = std::filesystem;

const std::string kTestBuild = KESTRUM_TEST_BUILD_HELPER_PATH;
const std::string kBuildTimeBundle = KESTRUM_TEST_BUILD_BUNDLE_PATH;
const std::vector<std::string> kAuthorize = {"authorize", "accessibility", "--app-url", "/Applications/Tazel.app"};
const std::string kAuthorizeLine = R"({"success":true,"kind":"accessibility","status":"granted"})" "\n";
const fs::path kDesktopShell = fs::path(kTestBuild).parent_path() / "libKestrumDesktop.so";

// The contract every run keeps; `shown` names the case.
void expectEndedWith(const ProcessResult& result, const std::string& standardOutput, const std::string& standardError,
                     int exitCode, const std::string& shown) {
    EXPECT_FALSE(result.hung) << shown;
    EXPECT_EQ(result.signal, 0) << shown;
    EXPECT_EQ(result.exitCode, exitCode) << shown;
    EXPECT_EQ(result.standardOutput, standardOutput) << shown;
    EXPECT_EQ(result.standardError, standardError) << shown;
}

// An environment whose URL opener does nothing, so authorize opens no real settings handler;
// in the sanitizer builds the helper is told which reports of the desktop's libraries to drop.
// The session bus is one nobody listens on: without an address, libdbus forks its autolauncher
// from Qt's D-Bus thread, and under the sanitizers such a child of a threaded process can spin
// for good in their runtime, holding the test's pipes (seen under load with the thread sanitizer).
std::vector<std::string> quietEnvironment(const TempDirectory& folder) {
    folder.write("opener/xdg-open", "#!/bin/sh\nexit 0\n", true);
    return {"PATH=" + folder / "opener", "LC_ALL=C.UTF-8", "DBUS_SESSION_BUS_ADDRESS=unix:path=" + folder / "no-bus",
            "TSAN_OPTIONS=suppressions=" KESTRUM_TSAN_SUPPRESSIONS,
            "LSAN_OPTIONS=print_suppressions=0:suppressions=" KESTRUM_LSAN_SUPPRESSIONS};
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

TEST(HostileEnvironment, PathValuesAndInheritedDescriptorsNeverReachTheOpener) {
    const RecordingURLHandler handler;
    // The helper's current folder, where someone put openers of their own.
    TempDirectory current;
    const std::string planted = "#!/bin/sh\n/usr/bin/touch '" + current / "planted-opener-ran" + "'\n";
    current.write("xdg-open", planted, true);
    current.write("bin/xdg-open", planted, true);
    // An opener in an absolute folder that records which descriptors it was given (its PATH
    // names only its own folder).
    TempDirectory listing;
    listing.write("bin/xdg-open",
                  "#!/bin/sh\n/bin/ls /proc/$$/fd > '" + listing / "fds.tmp" + "' && /bin/mv '" + listing / "fds.tmp" +
                      "' '" + listing / "fds" + "'\n",
                  true);
    // A host that leaves a descriptor open and inheritable.
    TempDirectory host;
    const int leaked = ::open(host.write("leaked", "").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(leaked, 0);

    struct Row {
        const char* name;
        std::optional<std::string> path;
        bool systemOpener;  // the system's own opener hands the URL to the recording handler
    };
    const Row rows[] = {
        {"PATH unset", std::nullopt, true},
        {"PATH empty", "PATH=", true},
        {"PATH of the current folder", "PATH=.", true},
        {"PATH of relative and empty entries", "PATH=bin::", true},
        {"PATH with an absolute folder after the current one", "PATH=.:" + listing / "bin", false},
    };
    const std::string url = "x-apple.systempreferences:com.apple.settings.PrivacySecurity.extension?Privacy_Accessibility";
    for (const auto& row : rows) {
        handler.forget();
        HelperRun run;
        run.arguments = {"open", "accessibility"};
        run.environment = handler.environment(row.path);
        run.workingDirectory = current.path();
        run.inheritedDescriptor = leaked;
        const auto result = runHelper(run);
        expectEndedWith(result, "{\"success\":true,\"kind\":\"accessibility\"}\n", "", 0, row.name);
        if (row.systemOpener) {
            EXPECT_EQ(handler.awaitURL(), url) << row.name;
        } else {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!fs::exists(listing / "fds") && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            // Standard input, output and error, and the descriptor the shell reads its script
            // from; never the host's.
            const auto descriptors = lines(listing.read("fds"));
            for (const char* standard : {"0", "1", "2"}) {
                EXPECT_EQ(std::count(descriptors.begin(), descriptors.end(), standard), 1) << standard;
            }
            EXPECT_EQ(std::count(descriptors.begin(), descriptors.end(), std::to_string(kInheritedNumber)), 0)
                << "the host's descriptor reached the opener";
        }
        EXPECT_FALSE(fs::exists(current / "planted-opener-ran")) << row.name;
    }
    ::close(leaked);
}

// Copies the test build to `folder` (made if need be); answers the copy's path.
std::string installHelper(const fs::path& folder) {
    const fs::path copy = testing_support::copyProgramWithLibraries(kTestBuild, folder, false);
    fs::rename(copy, folder / "KestrumHelper");
    return (folder / "KestrumHelper").string();
}

// A resource bundle with an English table, or a FIFO in the table's place.
void makeBundle(const fs::path& bundle, bool fifoTable = false) {
    fs::create_directories(bundle / "en.lproj");
    const fs::path table = bundle / "en.lproj" / "Localizable.strings";
    if (fifoTable) {
        ASSERT_EQ(::mkfifo(table.c_str(), 0644), 0);
    } else {
        std::ofstream(table) << "\"kestrum.pane.accessibility\" = \"Accessibility\";\n";
    }
}

// The test build installed with its bundle and with `place` laying out the desktop shell.
std::string installWithDesktopShell(const TempDirectory& install, const std::function<void(const fs::path&)>& place) {
    const std::string program = installHelper(install / "bin");
    makeBundle(install / "bin/Kestrum_Kestrum.bundle");
    place(install / "bin/libKestrumDesktop.so");
    return program;
}

TEST(HostileEnvironment, DamagedInstallsNeverTakePlantedTextsOrHang) {
    // The build-time path of the test build lies in the build tree; its folder is laid out per case.
    const fs::path buildTimeFolder = fs::path(kBuildTimeBundle).parent_path();
    struct Row {
        const char* name;
        // Lays out the install in the folder; answers the program to run.
        std::function<std::string(const TempDirectory&)> arrange;
        bool found;  // the line; otherwise the missing-bundle message
        bool needsRoot = false;
    };
    const Row rows[] = {
        {"bundle missing everywhere", [](const TempDirectory& t) { return installHelper(t / "bin"); }, false},
        {"the build tree's own bundle",
         [&](const TempDirectory& t) {
             makeBundle(kBuildTimeBundle);
             return installHelper(t / "bin");
         },
         true},
        {"bundle planted where others can write",
         [&](const TempDirectory& t) {
             makeBundle(kBuildTimeBundle);
             fs::permissions(buildTimeFolder, fs::perms::all);
             return installHelper(t / "bin");
         },
         false},
        {"bundle planted by another user",
         [&](const TempDirectory& t) {
             makeBundle(kBuildTimeBundle);
             for (const auto& entry : fs::recursive_directory_iterator(buildTimeFolder)) {
                 EXPECT_EQ(::lchown(entry.path().c_str(), 65534, 65534), 0);
             }
             EXPECT_EQ(::chown(buildTimeFolder.c_str(), 65534, 65534), 0);
             return installHelper(t / "bin");
         },
         false, true},
        {"a FIFO as the string table beside the program",
         [](const TempDirectory& t) {
             makeBundle(t / "bin/Kestrum_Kestrum.bundle", true);
             return installHelper(t / "bin");
         },
         true},
        {"inside an application, in Contents/Helpers",
         [](const TempDirectory& t) {
             makeBundle(t / "Tazel.app/Contents/Resources/Kestrum_Kestrum.bundle");
             return installHelper(t / "Tazel.app/Contents/Helpers");
         },
         true},
        {"inside an application, in Contents/MacOS",
         [](const TempDirectory& t) {
             makeBundle(t / "Tazel.app/Contents/Resources/Kestrum_Kestrum.bundle");
             return installHelper(t / "Tazel.app/Contents/MacOS");
         },
         true},
        // Damaged desktop shells are refused; the flow runs on panels that draw nothing.
        {"a desktop shell cut short by an interrupted update",
         [](const TempDirectory& t) {
             return installWithDesktopShell(t, [](const fs::path& shell) {
                 fs::copy_file(kDesktopShell, shell);
                 fs::resize_file(shell, 100 * 1024);
             });
         },
         true},
        {"a desktop shell that is not ELF",
         [](const TempDirectory& t) {
             return installWithDesktopShell(t, [](const fs::path& shell) { std::ofstream(shell) << "#!/bin/sh\n"; });
         },
         true},
        {"a FIFO in the desktop shell's place",
         [](const TempDirectory& t) {
             return installWithDesktopShell(t, [](const fs::path& shell) { ASSERT_EQ(::mkfifo(shell.c_str(), 0755), 0); });
         },
         true},
        {"a library without the entry point in the desktop shell's place",
         [](const TempDirectory& t) {
             return installWithDesktopShell(t, [](const fs::path& shell) {
                 fs::copy_file(fs::path(kTestBuild).parent_path() / "libKestrumLinuxText.so", shell);
             });
         },
         true},
        {"a desktop shell of another interface version",
         [](const TempDirectory& t) {
             return installWithDesktopShell(
                 t, [](const fs::path& shell) { fs::copy_file(KESTRUM_DAMAGED_SHELL_OF_ANOTHER_INTERFACE, shell); });
         },
         true},
        {"a desktop shell that answers success without adding anything",
         [](const TempDirectory& t) {
             return installWithDesktopShell(
                 t, [](const fs::path& shell) { fs::copy_file(KESTRUM_DAMAGED_SHELL_ANSWERING_WITHOUT_ADDING, shell); });
         },
         true},
        {"a desktop shell that needs a function the helper does not have",
         [](const TempDirectory& t) {
             return installWithDesktopShell(
                 t, [](const fs::path& shell) { fs::copy_file(KESTRUM_DAMAGED_SHELL_NEEDING_MORE, shell); });
         },
         true},
    };
    for (const auto& row : rows) {
        if (row.needsRoot && ::geteuid() != 0) continue;  // only the superuser can give a folder away
        fs::remove_all(buildTimeFolder);
        TempDirectory install;
        HelperRun run;
        run.arguments = kAuthorize;
        run.environment = quietEnvironment(install);
        run.program = row.arrange(install);
        const auto result = runHelper(run);
        const std::string message = "could not load resource bundle: from " +
                                    (fs::path(run.program).parent_path() / "Kestrum_Kestrum.bundle").string() +
                                    " or " + kBuildTimeBundle + "\n";
        if (row.found) {
            expectEndedWith(result, kAuthorizeLine, "", 0, row.name);
        } else {
            expectEndedWith(result, "", message, 1, row.name);
        }
    }
    fs::remove_all(buildTimeFolder);
}

TEST(HostileEnvironment, OutputFaultsNeitherPinTheProcessNorChangeItsExitCode) {
    // The test build sits beside the resource bundle and the desktop shell, as installed.
    const std::string longAction(100000, '/');  // escaped, three times what a pipe holds
    struct Command {
        std::vector<std::string> arguments;
        std::string line;
        int exitCode;
    };
    const Command commands[] = {
        {{},
         R"({"success":false,"kind":"unknown","error":"Usage: authorize|open|status <permission-kind> [--app-url <Tazel.app>]"})"
         "\n",
         2},
        {{"status", "fullDiskAccess"},
         R"({"success":false,"kind":"fullDiskAccess","error":"Full Disk Access status must be checked by the target app process."})"
         "\n",
         1},
        {{"status", "bluetooth"}, R"({"success":true,"kind":"bluetooth","status":"unknown"})" "\n", 0},
        {{longAction, "microphone"}, "", 2},  // the line is checked by its form below
        {kAuthorize, kAuthorizeLine, 0},
    };
    TempDirectory folder;
    for (const auto output :
         {StandardOutput::closed, StandardOutput::brokenPipe, StandardOutput::full, StandardOutput::neverRead}) {
        for (const auto& command : commands) {
            HelperRun run;
            run.arguments = command.arguments;
            run.environment = quietEnvironment(folder);
            run.output = output;
            run.program = kTestBuild;
            const auto result = runHelper(run);
            const std::string shown = (command.arguments.empty() ? "no arguments" : command.arguments[0].substr(0, 20)) +
                                      ", output " + std::to_string(static_cast<int>(output));
            // A full pipe takes nothing; a pipe nobody reads holds what fitted: the whole line,
            // or the part of a longer one that fitted, never completed by a line feed.
            std::string held = output == StandardOutput::neverRead ? command.line : "";
            if (output == StandardOutput::neverRead && command.line.empty()) {
                held = result.standardOutput;
                EXPECT_GT(held.size(), 4096u) << shown;
                EXPECT_EQ(held.find('\n'), std::string::npos) << shown;
                EXPECT_EQ(held.rfind(R"({"success":false,"kind":"unknown","error":"Unsupported action: \/\/)", 0), 0u)
                    << shown;
            }
            expectEndedWith(result, held, "", command.exitCode, shown);
        }
    }
}

// `environment` with the variables of `changes` in place of those of the same name.
std::vector<std::string> changed(std::vector<std::string> environment, const std::vector<std::string>& changes) {
    for (const auto& change : changes) {
        const std::string name = change.substr(0, change.find('=') + 1);
        std::erase_if(environment, [&](const std::string& entry) { return entry.starts_with(name); });
        environment.push_back(change);
    }
    return environment;
}

// The processes that show a window on the server.
std::set<std::uint32_t> windowOwners(const x11test::XServer& server) {
    std::set<std::uint32_t> owners;
    for (const xcb_window_t window : server.clientsBottomToTop()) {
        const auto owner = server.cardinals(window, "_NET_WM_PID", XCB_ATOM_CARDINAL);
        if (owner.size() == 1 && !server.windowsOf(static_cast<pid_t>(owner.front())).empty()) owners.insert(owner.front());
    }
    return owners;
}

// An environment under which authorize must answer: the quiet opener's, with these variables.
struct EnvironmentCase {
    std::string name;
    std::vector<std::string> variables;
    bool panelOnDisplay = false;  // the panel must show on the test's X server
    bool stopServer = false;      // the X server is stopped (SIGSTOP) while the helper runs
};

// Runs authorize (of the test build, or of `program` with `arguments` in front) once per case.
void expectEveryCaseAnswers(const std::vector<EnvironmentCase>& cases, const x11test::XServer& server,
                            const std::string& program = kTestBuild, const std::vector<std::string>& arguments = {}) {
    TempDirectory folder;
    for (const auto& environmentCase : cases) {
        HelperRun run;
        run.program = program;
        run.arguments = arguments;
        run.arguments.insert(run.arguments.end(), kAuthorize.begin(), kAuthorize.end());
        run.environment = changed(quietEnvironment(folder), environmentCase.variables);
        if (environmentCase.stopServer) ::kill(server.serverProcess(), SIGSTOP);
        auto finished = std::async(std::launch::async, [&run] { return runProcess(run); });
        std::set<std::uint32_t> owners;
        while (finished.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
            if (environmentCase.panelOnDisplay) owners.merge(windowOwners(server));
        }
        const ProcessResult result = finished.get();
        if (environmentCase.stopServer) ::kill(server.serverProcess(), SIGCONT);
        expectEndedWith(result, kAuthorizeLine, "", 0, environmentCase.name);
        if (environmentCase.panelOnDisplay) {
            EXPECT_EQ(owners.count(static_cast<std::uint32_t>(result.pid)), 1u) << environmentCase.name << ": no panel shown";
        }
    }
}

TEST(HostileEnvironment, DisplayValuesNeverHoldTheLineBack) {
    const x11test::XServer server({});
    if (!server.started()) GTEST_SKIP() << "Xvfb is not available";
    using Behaviour = UnresponsiveServer::Behaviour;
    const UnresponsiveServer silent(Behaviour::silent);
    const UnresponsiveServer silentAfterHandshake(Behaviour::silentAfterHandshake, server.display());
    const UnresponsiveServer hangingUp(Behaviour::hangUpAfterHandshake, server.display());
    TempDirectory folder;
    const UnresponsiveServer bus(folder / "bus");
    ASSERT_TRUE(silent.listening() && silentAfterHandshake.listening() && hangingUp.listening() && bus.listening());
    ASSERT_EQ(::mkfifo((folder / "Xauthority").c_str(), 0600), 0);
    const std::string display = "DISPLAY=" + server.display();
    expectEveryCaseAnswers(
        {
            {"no display", {}},
            {"a malformed display", {"DISPLAY=::not:a:display"}},
            {"a display name of 10 KB", {"DISPLAY=" + std::string(10240, '9')}},
            {"a stopped X server", {display}, false, true},
            {"a display that never answers", {"DISPLAY=" + silent.display()}},
            {"a display that goes silent after the handshake", {"DISPLAY=" + silentAfterHandshake.display()}},
            {"a display that hangs up after the handshake", {"DISPLAY=" + hangingUp.display()}},
            {"an X authority file that is a FIFO", {display, "XAUTHORITY=" + folder / "Xauthority"}},
            {"a session bus that never answers", {display, "DBUS_SESSION_BUS_ADDRESS=unix:path=" + folder / "bus"}},
            {"a Wayland display without a compositor", {"WAYLAND_DISPLAY=kestrum-no-compositor"}},
            {"a Wayland session that offers XWayland", {display, "WAYLAND_DISPLAY=kestrum-no-compositor"}, true},
            {"the X server, once more after all that", {display}, true},
        },
        server);
}

TEST(HostileEnvironment, QtVariablesNeitherEndNorHangTheHelper) {
    const x11test::XServer server({});
    if (!server.started()) GTEST_SKIP() << "Xvfb is not available";
    const std::string display = "DISPLAY=" + server.display();
    expectEveryCaseAnswers(
        {
            {"xcb without a display", {"QT_QPA_PLATFORM=xcb"}},
            {"wayland without a compositor", {"QT_QPA_PLATFORM=wayland"}},
            {"a misspelt platform", {"QT_QPA_PLATFORM=xbc"}},
            {"a misspelt platform beside a display", {display, "QT_QPA_PLATFORM=xbc"}, true},
            {"wayland without a compositor beside a display", {display, "QT_QPA_PLATFORM=wayland"}, true},
            {"a platform that Qt gives up on fatally, beside a display", {display, "QT_QPA_PLATFORM=eglfs"}, true},
            {"platform entries without names", {"QT_QPA_PLATFORM=;:;"}},
            {"a platform list of 10 KB", {"QT_QPA_PLATFORM=" + std::string(10240, 'x')}},
            {"warnings made fatal", {display, "QT_FATAL_WARNINGS=1", "QT_FATAL_CRITICALS=1"}, true},
            {"a negative scale factor", {display, "QT_SCALE_FACTOR=-1"}, true},
            {"scale factors that are no numbers", {display, "QT_SCALE_FACTOR=nan", "QT_SCREEN_SCALE_FACTORS=x;-3"}, true},
            {"Qt's debugging output", {display, "QT_DEBUG_PLUGINS=1", "QT_LOGGING_RULES=*=true"}, true},
        },
        server);
}

TEST(HostileEnvironment, LocaleValuesNeverReachStandardError) {
    const x11test::XServer server({});
    if (!server.started()) GTEST_SKIP() << "Xvfb is not available";
    expectEveryCaseAnswers(
        {
            {"an invalid language", {"LC_ALL=", "LANG=x"}},
            {"a locale of 10 KB", {"LC_ALL=" + std::string(10240, 'a')}},
            {"a language list of separators", {"LC_ALL=", "LANG=x", "LANGUAGE=::::"}},
            {"a locale that is not installed, beside a display",
             {"DISPLAY=" + server.display(), "LC_ALL=", "LANG=tlh_XX.UTF-8", "LC_MESSAGES=x"},
             true},
        },
        server);
}

TEST(HostileEnvironment, TooFewDescriptorsNeitherTrapNorPrint) {
    const x11test::XServer server({});
    if (!server.started()) GTEST_SKIP() << "Xvfb is not available";
    // Too few for Qt (GLib used to end the process by a trap), or too few to be sure: the flow runs
    // on panels that draw nothing, and the line comes either way.
#ifdef __SANITIZE_ADDRESS__
    // The address sanitizer's runtime probes memory through pipes of its own and ends the process
    // (exit 1, no report) when it cannot make one: its builds begin where it still can.
    for (const int limit : {12, 24}) {
#else
    for (const int limit : {8, 12, 24}) {
#endif
        const std::string shown = "ulimit -n " + std::to_string(limit);
        expectEveryCaseAnswers({{shown, {"DISPLAY=" + server.display()}}}, server, "/bin/sh",
                               {"-c", shown + " && exec \"$0\" \"$@\"", kTestBuild});
    }
}

}  // namespace
}  // namespace kestrum::e2e
