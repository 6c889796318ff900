// The helper under hostile environments and damaged installs, one grouped test per family.
// Each run must keep the helper's contract: exactly one valid line (or the missing-bundle
// message), nothing else on standard error, the right exit code, and a process that ends.
// authorize runs in a test build whose keep-alive is two seconds.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "ProgramCopy.hpp"
#include "RecordingURLHandler.hpp"

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
std::vector<std::string> quietEnvironment(const TempDirectory& folder) {
    folder.write("opener/xdg-open", "#!/bin/sh\nexit 0\n", true);
    return {"PATH=" + folder / "opener", "LC_ALL=C.UTF-8", "TSAN_OPTIONS=suppressions=" KESTRUM_TSAN_SUPPRESSIONS,
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

}  // namespace
}  // namespace kestrum::e2e
