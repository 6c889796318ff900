#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>

#include "TempDirectory.hpp"
#include "kestrum/linux/LinuxApplication.hpp"
#include "kestrum/linux/LinuxPermissionQueries.hpp"
#include "kestrum/linux/LinuxWorkspace.hpp"
#include "kestrum/posix/PosixOutput.hpp"

namespace kestrum {
namespace {

using testing_support::TempDirectory;

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(LinuxPermissionQueriesTests, AnswersDependOnlyOnTheSandbox) {
    TempDirectory temp;
    LinuxPermissionQueries open(temp / "no-marker");
    EXPECT_TRUE(open.isAccessibilityTrusted());
    EXPECT_FALSE(open.screenCapturePreflight());
    EXPECT_EQ(open.audioCaptureAuthorization(), AudioCaptureAuthorization::authorized);
    std::optional<bool> answer;
    open.requestAudioCapture([&](bool granted) { answer = granted; });
    EXPECT_EQ(answer, true);  // answered before the request returns

    LinuxPermissionQueries sandboxed(temp.write("marker", "[Application]\n"));
    EXPECT_EQ(sandboxed.audioCaptureAuthorization(), AudioCaptureAuthorization::notDetermined);
    answer.reset();
    sandboxed.requestAudioCapture([&](bool granted) { answer = granted; });
    EXPECT_EQ(answer, false);
    sandboxed.requestAudioCapture(nullptr);  // an empty completion is not called
}

TEST(LinuxWorkspaceTests, SpawnedChildGetsItsArgumentsAndNoneOfOurDescriptors) {
    TempDirectory temp;
    const std::string script = temp.write("record.sh",
                                          "#!/bin/sh\n"
                                          "printf '%s|%s' \"$1\" \"$#\" > \"$0.args\"\n"
                                          "o=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\n"
                                          "printf '%s' \"$o\" > \"$0.stdio\"\n");
    ::chmod(script.c_str(), 0755);
    const std::string url = "x-apple.systempreferences:com.apple.settings.PrivacySecurity.extension?Privacy_Media";
    const auto pid = spawnDetached(script, {url});
    ASSERT_TRUE(pid.has_value());
    EXPECT_EQ(waitFor(*pid), 0);
    EXPECT_EQ(temp.read("record.sh.args"), url + "|1");
    EXPECT_EQ(temp.read("record.sh.stdio"), "/dev/null\n/dev/null\n/dev/null");

    EXPECT_FALSE(spawnDetached(temp / "missing", {}).has_value());
    EXPECT_FALSE(spawnDetached("", {}).has_value());
    EXPECT_FALSE(spawnDetached(script, {std::string("a\0b", 3)}).has_value());
}

TEST(LinuxWorkspaceTests, ProgramsAreLookedUpInAbsoluteFoldersOnly) {
    const std::vector<std::string> system{"/usr/local/bin", "/usr/bin", "/bin"};
    const std::pair<const char*, std::vector<std::string>> rows[] = {
        {nullptr, system},
        {"", system},
        {".", system},
        {"bin::.", system},
        {":/opt/a::relative:/b/:", {"/opt/a", "/b/"}},
        {"/only", {"/only"}},
    };
    for (const auto& [path, folders] : rows) EXPECT_EQ(programSearchFolders(path), folders) << (path ? path : "unset");
}

TEST(LinuxWorkspaceTests, OpenURLReportsWhetherTheOpenerStarted) {
    EXPECT_TRUE(LinuxWorkspace("true").openURL(*URL::parse("x-apple.systempreferences:x")));
    EXPECT_FALSE(LinuxWorkspace("kestrum-no-such-opener").openURL(*URL::parse("x-apple.systempreferences:x")));
}

TEST(LinuxWorkspaceTests, KnowsLiveProcessesButNoBundleIdentifiers) {
    LinuxWorkspace workspace;
    const auto self = workspace.runningApplication(static_cast<std::int32_t>(::getpid()));
    ASSERT_TRUE(self.has_value());
    EXPECT_EQ(self->processIdentifier, ::getpid());
    EXPECT_FALSE(self->bundleIdentifier.has_value());
    EXPECT_FALSE(workspace.runningApplication(0).has_value());
    EXPECT_FALSE(workspace.runningApplication(-1).has_value());
    EXPECT_FALSE(workspace.runningApplication(INT_MAX).has_value());
}

TEST(LinuxWorkspaceTests, LaunchesOnlyExecutableFiles) {
    TempDirectory temp;
    const std::string tool = temp.write("stand in", "#!/bin/sh\n", true);
    const std::string text = temp.write("notes.txt", "");
    EXPECT_EQ(executableAt(URL::fileURL(tool)), tool);
    EXPECT_FALSE(executableAt(URL::fileURL(text)).has_value());
    EXPECT_FALSE(executableAt(URL::fileURL(temp.path())).has_value());
    EXPECT_FALSE(executableAt(URL::fileURL("/System/Applications/System Settings.app")).has_value());
    // A URL of another scheme naming the same (encoded) path is not a file to launch.
    const auto other = URL::parse("x-apple.systempreferences:" + percentEncode(tool, "/-._~"));
    ASSERT_TRUE(other.has_value());
    EXPECT_FALSE(executableAt(*other).has_value());
}

TEST(LinuxApplicationTests, RunsTheLoopUntilTerminateEndsTheProcessWithZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // sanitizers run threads of their own
    auto loop = std::make_shared<LinuxMainLoop>();
    LinuxApplication application(loop);
    EXPECT_EQ(application.mouseLocation(), (Point{0, 0}));
    application.setActivationPolicy(ActivationPolicy::accessory);
    EXPECT_EQ(application.activationPolicy(), ActivationPolicy::accessory);
    loop->post([] { PosixOutput().writeStandardError("first task\n", 5); });
    loop->post([&] { application.terminate(); });
    EXPECT_EXIT(application.run(), testing::ExitedWithCode(0), "first task");
}

}  // namespace
}  // namespace kestrum
