#include <gtest/gtest.h>

#include <filesystem>

#include "HelperProcess.hpp"
#include "kestrum/UTF8.hpp"

namespace kestrum::e2e {
namespace {

const std::string kUsage =
    R"({"success":false,"kind":"unknown","error":"Usage: authorize|open|status <permission-kind> [--app-url <Tazel.app>]"})"
    "\n";

struct Row {
    std::vector<std::string> arguments;
    std::string line;
    int exitCode;
};

class HelperProcessTests : public OutputSchemaCheckedTest {};

void expectRow(const Row& row, const ProcessResult& result) {
    const std::string shown = testing::PrintToString(row.arguments);
    EXPECT_EQ(result.standardOutput, row.line) << shown;
    EXPECT_EQ(result.standardError, "") << shown;
    EXPECT_EQ(result.signal, 0) << shown;
    EXPECT_EQ(result.exitCode, row.exitCode) << shown;
}

TEST_F(HelperProcessTests, EveryFailureRowOfTheCommandLine) {
    const Row rows[] = {
        {{}, kUsage, 2},
        {{"status"}, kUsage, 2},
        {{"Open", "accessibility"}, R"({"success":false,"kind":"unknown","error":"Unsupported action: Open"})" "\n", 2},
        {{"frob/nicate", "nonsense"},
         R"({"success":false,"kind":"unknown","error":"Unsupported action: frob\/nicate"})" "\n", 2},
        {{"status", "Accessibility"},
         R"({"success":false,"kind":"unknown","error":"Unsupported permission kind: Accessibility"})" "\n", 2},
        {{"open", "tab\there\"q\\"},
         R"({"success":false,"kind":"unknown","error":"Unsupported permission kind: tab\there\"q\\"})" "\n", 2},
        {{"authorize", "accessibility"},
         R"({"success":false,"kind":"unknown","error":"--app-url must point to the Tazel .app bundle"})" "\n", 2},
        {{"authorize", "microphone", "--app-url"},
         R"({"success":false,"kind":"unknown","error":"--app-url must point to the Tazel .app bundle"})" "\n", 2},
        {{"authorize", "microphone", "--app-url", "/Apps/Tazel.zip", "--app-url", "/Apps/Tazel.app"},
         R"({"success":false,"kind":"unknown","error":"--app-url must point to the Tazel .app bundle"})" "\n", 2},
        {{"status", "fullDiskAccess", "--app-url", "/Apps/Tazel.app"},
         R"({"success":false,"kind":"fullDiskAccess","error":"Full Disk Access status must be checked by the target app process."})"
         "\n",
         1},
    };
    for (const auto& row : rows) expectRow(row, runHelper(row.arguments));
}

TEST_F(HelperProcessTests, StatusOfEveryOtherPaneGivesTheLinuxAnswers) {
    // What a Linux session answers: the accessibility bus is open, the sound server lets the
    // user's processes record, screen capture cannot be checked without asking.
    const Row rows[] = {
        {{"status", "accessibility"}, R"({"success":true,"kind":"accessibility","status":"granted"})" "\n", 0},
        {{"status", "microphone", "extra"}, R"({"success":true,"kind":"microphone","status":"granted"})" "\n", 0},
        {{"status", "screenRecording"}, R"({"success":true,"kind":"screenRecording","status":"notGranted"})" "\n", 0},
        {{"status", "appManagement"}, R"({"success":true,"kind":"appManagement","status":"unknown"})" "\n", 0},
        {{"status", "bluetooth"}, R"({"success":true,"kind":"bluetooth","status":"unknown"})" "\n", 0},
        {{"status", "developerTools"}, R"({"success":true,"kind":"developerTools","status":"unknown"})" "\n", 0},
        {{"status", "inputMonitoring"}, R"({"success":true,"kind":"inputMonitoring","status":"unknown"})" "\n", 0},
        {{"status", "mediaAppleMusic"}, R"({"success":true,"kind":"mediaAppleMusic","status":"unknown"})" "\n", 0},
    };
    if (std::filesystem::exists("/.flatpak-info")) GTEST_SKIP() << "inside a sandbox the microphone answer differs";
    for (const auto& row : rows) expectRow(row, runHelper(row.arguments));
}

TEST_F(HelperProcessTests, AuthorizeWritesItsLineAtOnce) {
    // Without a display the panel runs off screen; the process lives on and is ended here.
    const Row rows[] = {
        {{"authorize", "fullDiskAccess", "--app-url", "/Apps/Tazel.app"}, R"({"success":true,"kind":"fullDiskAccess"})" "\n", 0},
        {{"authorize", "microphone", "--app-url", "Tazel.APP"}, R"({"success":true,"kind":"microphone","status":"granted"})" "\n", 0},
        {{"authorize", "screenRecording", "--app-url", "/Apps/Tazel.app"},
         R"({"success":true,"kind":"screenRecording","status":"notGranted"})" "\n", 0},
    };
    if (std::filesystem::exists("/.flatpak-info")) GTEST_SKIP() << "inside a sandbox the microphone answer differs";
    for (const auto& row : rows) {
        const auto result = runHelper(row.arguments, baseEnvironment(), StandardOutput::firstLine);
        EXPECT_EQ(result.standardOutput, row.line) << testing::PrintToString(row.arguments);
        EXPECT_EQ(result.signal, SIGKILL) << "ended before it was stopped";
    }
}

TEST_F(HelperProcessTests, ArgumentsThatAreNotUTF8StillGiveAValidLine) {
    const auto result = runHelper({"st\xFF" "tus", "\xC0\xAF\xED\xA0\x80" "accessibility"});
    EXPECT_EQ(result.standardOutput,
              "{\"success\":false,\"kind\":\"unknown\",\"error\":\"Unsupported action: st\xEF\xBF\xBDtus\"}\n");
    EXPECT_EQ(result.exitCode, 2);

    const auto kind = runHelper({"open", "\xF0\x9F\x99" "/\x01"});
    EXPECT_EQ(kind.standardOutput,
              "{\"success\":false,\"kind\":\"unknown\",\"error\":\"Unsupported permission kind: "
              "\xEF\xBF\xBD\\/\\u0001\"}\n");
    EXPECT_TRUE(isValidUTF8(kind.standardOutput));
    EXPECT_EQ(kind.standardError, "");
}

TEST_F(HelperProcessTests, ALineLargerThanThePipeArrivesWhole) {
    // Escaped, the line is three times a pipe's capacity: the helper keeps writing as the host reads.
    std::string action(100000, '/');  // one argument may hold at most 128 KiB
    const auto result = runHelper({action, "microphone"});
    std::string escaped;
    for (std::size_t i = 0; i < action.size(); ++i) escaped += "\\/";
    const std::string expected =
        R"({"success":false,"kind":"unknown","error":"Unsupported action: )" + escaped + "\"}\n";
    EXPECT_EQ(result.standardOutput.size(), expected.size());
    EXPECT_TRUE(result.standardOutput == expected);  // not printed: 200 kB
    EXPECT_EQ(result.exitCode, 2);
}

// Loaded libraries as the dynamic loader reports them for the helper's own process.
std::string loadedLibraries(const std::vector<std::string>& arguments, std::vector<std::string> environment) {
    TempDirectory temp;
    environment.push_back("LD_DEBUG=libs");
    environment.push_back("LD_DEBUG_OUTPUT=" + temp / "ld");
    const auto result = runHelper(arguments, environment);
    EXPECT_EQ(result.standardError, "");
    const auto log = readWholeFile(temp / ("ld." + std::to_string(result.pid)));
    EXPECT_TRUE(log.has_value()) << "the loader wrote no report";
    return log.value_or("");
}

// Nor any library of ours: the helper carries the core and the system shell, and the desktop
// shell is for authorize alone.
TEST_F(HelperProcessTests, StatusAndOpenLoadNoGraphicalOrTextLibrary) {
    TempDirectory handlers;  // open hands its URL to an opener that does nothing
    handlers.write("bin/xdg-open", "#!/bin/sh\nexit 0\n", true);
    const std::vector<std::vector<std::string>> commands = {{"status", "microphone"}, {"open", "accessibility"}};
    for (const auto& command : commands) {
        const std::string log =
            loadedLibraries(command, {"PATH=" + handlers / "bin" + ":/usr/bin:/bin", "LC_ALL=C.UTF-8"});
        // The report is real: the C library shows up in it.
        EXPECT_NE(log.find("libc.so"), std::string::npos) << log;
        for (const char* heavy : {"libQt", "libX11", "libxcb", "libicu", "libGL", "libwayland", "libKestrum"}) {
            EXPECT_EQ(log.find(heavy), std::string::npos) << command[0] << " loaded " << heavy;
        }
    }
}

}  // namespace
}  // namespace kestrum::e2e
