#include "kestrum/helper/KestrumHelperRunner.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "kestrum/PermissionStatusProviders.hpp"
#include "kestrum/PermissionStatusRegistry.hpp"
#include "kestrum/SettingsURLs.hpp"
#include "kestrum/fakes/FakePlatform.hpp"

namespace kestrum {
namespace {

using Arguments = std::vector<std::string>;

// Counts how often the registry handed it out and it was asked.
class CountingProvider final : public PermissionStatusProviding {
public:
    explicit CountingProvider(std::atomic<int>& asked) : asked_(asked) {}
    PermissionStatusCapability capability() const override { return PermissionStatusCapability::preflightSupported; }
    PermissionAuthorizationState authorizationState() const override {
        ++asked_;
        return PermissionAuthorizationState::granted;
    }

private:
    std::atomic<int>& asked_;
};

class KestrumHelperRunnerTests : public testing::Test {
protected:
    // authorize's flow reads its texts from the resource bundle beside the executable.
    void SetUp() override { fake.fileSystem->directories[fake.fileSystem->bundlePath + "/Kestrum_Kestrum.bundle"] = {}; }
    void TearDown() override { helperKeepAliveSeconds = 300; }

    // Runs one invocation; returns the one line (without its line feed).
    std::string run(const Arguments& arguments) {
        runner->run(arguments);
        EXPECT_EQ(fake.output->writes.size(), 2u);
        EXPECT_EQ(fake.output->writes.back(), "\n");
        EXPECT_TRUE(fake.output->standardError.empty());
        return fake.output->writes.empty() ? std::string() : fake.output->writes.front();
    }

    // The full-disk-access probe begins with this location.
    bool probedFullDiskAccess() const {
        const auto& queries = fake.fileSystem->queries;
        return std::find(queries.begin(), queries.end(), "readable /var/root") != queries.end();
    }

    fakes::FakePlatform fake;
    std::shared_ptr<KestrumHelperRunner> runner = std::make_shared<KestrumHelperRunner>();
};

TEST_F(KestrumHelperRunnerTests, ParseErrorsReportUnknownKindAndExitTwo) {
    EXPECT_EQ(run({}),
              R"({"success":false,"kind":"unknown","error":"Usage: authorize|open|status <permission-kind> [--app-url <Tazel.app>]"})");
    EXPECT_EQ(fake.output->exitCode, 2);
}

TEST_F(KestrumHelperRunnerTests, ParseErrorsOfEveryKind) {
    struct Case {
        Arguments arguments;
        std::string line;
    };
    const Case cases[] = {
        {{"open/x", "kind"}, R"({"success":false,"kind":"unknown","error":"Unsupported action: open\/x"})"},
        {{"status", "Accessibility"},
         R"({"success":false,"kind":"unknown","error":"Unsupported permission kind: Accessibility"})"},
        {{"authorize", "accessibility", "--app-url", "/Apps/Tazel.zip"},
         R"({"success":false,"kind":"unknown","error":"--app-url must point to the Tazel .app bundle"})"},
    };
    for (const auto& c : cases) {
        fakes::FakePlatform fresh;
        auto freshRunner = std::make_shared<KestrumHelperRunner>();
        freshRunner->run(c.arguments);
        EXPECT_EQ(fresh.output->standardOutput, c.line + "\n");
        EXPECT_EQ(fresh.output->exitCode, 2);
        EXPECT_TRUE(fresh.mainLoop->activeTimers().empty());
    }
    fake.install();
}

TEST_F(KestrumHelperRunnerTests, StatusOfFullDiskAccessIsRefusedWithoutProbing) {
    EXPECT_EQ(run({"status", "fullDiskAccess"}),
              R"({"success":false,"kind":"fullDiskAccess","error":"Full Disk Access status must be checked by the target app process."})");
    EXPECT_EQ(fake.output->exitCode, 1);
    EXPECT_FALSE(probedFullDiskAccess());
}

TEST_F(KestrumHelperRunnerTests, StatusReportsTheRegisteredProvidersState) {
    fake.permissionQueries->audio = AudioCaptureAuthorization::notDetermined;
    EXPECT_EQ(run({"status", "microphone", "--app-url", "/x.zip"}),
              R"({"success":true,"kind":"microphone","status":"notGranted"})");
    EXPECT_EQ(fake.output->exitCode, 0);

    fake.output->writes.clear();
    fake.output->exitCode.reset();
    fake.permissionQueries->accessibilityTrusted = true;
    EXPECT_EQ(run({"status", "accessibility"}), R"({"success":true,"kind":"accessibility","status":"granted"})");
    EXPECT_EQ(fake.output->exitCode, 0);
}

TEST_F(KestrumHelperRunnerTests, StatusOfPanesWithoutProviderIsUnknown) {
    for (const char* kind : {"appManagement", "bluetooth", "developerTools", "inputMonitoring", "mediaAppleMusic"}) {
        fake.output->writes.clear();
        fake.output->exitCode.reset();
        EXPECT_EQ(run({"status", kind}),
                  std::string(R"({"success":true,"kind":")") + kind + R"(","status":"unknown"})");
        EXPECT_EQ(fake.output->exitCode, 0);
    }
}

TEST_F(KestrumHelperRunnerTests, AStateThatIsNoneOfTheFourIsReportedAsUnknown) {
    class StrayProvider final : public PermissionStatusProviding {
    public:
        PermissionStatusCapability capability() const override { return PermissionStatusCapability::preflightSupported; }
        PermissionAuthorizationState authorizationState() const override {
            return static_cast<PermissionAuthorizationState>(42);
        }
    };
    PermissionStatusRegistry::registerProvider(StrayProvider{}, KestrumPane::mediaAppleMusic);
    EXPECT_EQ(run({"status", "mediaAppleMusic"}), R"({"success":true,"kind":"mediaAppleMusic","status":"unknown"})");
    PermissionStatusRegistry::registerProvider(UnsupportedPermissionStatusProvider{}, KestrumPane::mediaAppleMusic);
}

TEST_F(KestrumHelperRunnerTests, ScreenRecordingProviderIsRegisteredBeforeParsingOnEveryRun) {
    std::atomic<int> asked{0};
    PermissionStatusRegistry::registerProvider(CountingProvider(asked), KestrumPane::screenRecording);
    run({"status"});  // a parse error still registers
    EXPECT_EQ(fake.output->exitCode, 2);
    fake.permissionQueries->screenCapture = true;
    EXPECT_EQ(PermissionStatusRegistry::provider(KestrumPane::screenRecording)->authorizationState(),
              PermissionAuthorizationState::granted);
    fake.permissionQueries->screenCapture = false;
    EXPECT_EQ(PermissionStatusRegistry::provider(KestrumPane::screenRecording)->authorizationState(),
              PermissionAuthorizationState::notGranted);
    EXPECT_EQ(asked, 0);

    PermissionStatusRegistry::registerProvider(CountingProvider(asked), KestrumPane::screenRecording);
    fake.output->writes.clear();
    fake.output->exitCode.reset();
    EXPECT_EQ(run({"status", "screenRecording"}),
              R"({"success":true,"kind":"screenRecording","status":"notGranted"})");
    EXPECT_EQ(asked, 0);
}

TEST_F(KestrumHelperRunnerTests, OpenOpensExactlyThePanesURLAndAlwaysSucceeds) {
    for (const bool accepted : {true, false}) {
        for (const auto pane : allCases<KestrumPane>()) {
            fakes::FakePlatform fresh;
            fresh.workspace->openURLResult = accepted;
            auto freshRunner = std::make_shared<KestrumHelperRunner>();
            const std::string kind(rawValue(pane));
            freshRunner->run({"open", kind, "--app-url", "/A.app"});
            EXPECT_EQ(fresh.output->standardOutput, R"({"success":true,"kind":")" + kind + "\"}\n");
            EXPECT_EQ(fresh.output->exitCode, 0);
            ASSERT_EQ(fresh.workspace->openedURLs.size(), 1u);
            EXPECT_EQ(fresh.workspace->openedURLs[0], settingsURL(pane));
            EXPECT_EQ(fresh.workspace->openedURLs[0].absoluteString(),
                      "x-apple.systempreferences:com.apple.settings.PrivacySecurity.extension?" +
                          std::string(rawValue(privacyAnchor(pane).value())));
            // Opening reads no state: no probe, no permission query, no panel.
            EXPECT_TRUE(fresh.fileSystem->queries.empty());
            EXPECT_TRUE(fresh.panelWindows->made.empty());
            EXPECT_FALSE(fresh.application->policy.has_value());
        }
    }
    fake.install();
}

TEST_F(KestrumHelperRunnerTests, AuthorizeWritesTheStateAndKeepsTheProcessAlive) {
    fake.permissionQueries->screenCapture = true;
    helperKeepAliveSeconds = 5;
    EXPECT_EQ(run({"authorize", "screenRecording", "--app-url", "/Apps/Tazel.app"}),
              R"({"success":true,"kind":"screenRecording","status":"granted"})");
    EXPECT_FALSE(fake.output->exitCode.has_value());

    // The value is read when the work item is scheduled, not when it fires.
    helperKeepAliveSeconds = 1;
    fake.mainLoop->runPendingTasks();
    fake.mainLoop->advance(4.9);
    EXPECT_EQ(fake.application->terminations, 0);
    fake.mainLoop->advance(0.1);
    EXPECT_EQ(fake.application->terminations, 1);
    EXPECT_EQ(fake.output->writes.size(), 2u);  // nothing is written afterwards
    EXPECT_FALSE(fake.output->exitCode.has_value());
}

TEST_F(KestrumHelperRunnerTests, AuthorizeOfFullDiskAccessHasNoStatusMember) {
    EXPECT_EQ(run({"authorize", "fullDiskAccess", "--app-url", "Tazel.app"}),
              R"({"success":true,"kind":"fullDiskAccess"})");
    EXPECT_FALSE(probedFullDiskAccess());
    EXPECT_FALSE(fake.output->exitCode.has_value());
}

TEST_F(KestrumHelperRunnerTests, KeepAliveTerminatesEvenWhenTheRunnerIsGone) {
    run({"authorize", "bluetooth", "--app-url", "/Apps/Tazel.app"});
    std::weak_ptr<KestrumHelperRunner> weak = runner;
    runner.reset();
    fake.mainLoop->runPendingTasks();
    EXPECT_TRUE(weak.expired());  // the scheduled work holds the runner weakly
    fake.mainLoop->advance(300);
    EXPECT_EQ(fake.application->terminations, 1);
}

}  // namespace
}  // namespace kestrum
