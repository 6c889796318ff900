#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kestrum/SettingsURLs.hpp"
#include "kestrum/SystemSettings.hpp"
#include "kestrum/SystemSettingsApplication.hpp"
#include "kestrum/fakes/FakePlatform.hpp"

using namespace kestrum;
using kestrum::fakes::FakePlatform;

namespace {

const std::string kLaunch = "launch file:///System/Applications/System%20Settings.app";
const std::string kLookup = "running com.apple.systempreferences";

RunningApplication app(std::int32_t pid, std::string bundle, ActivationPolicy policy = ActivationPolicy::regular) {
    return RunningApplication{pid, std::move(bundle), policy};
}

}  // namespace

TEST(SystemSettings, OpenLaunchesOpensAndActivatesInThatOrder) {
    FakePlatform fake;
    fake.workspace->running = {app(11, "org.example.other"), app(42, std::string(kSystemSettingsBundleIdentifier))};
    const URL target = settingsURL(KestrumPane::accessibility);
    EXPECT_TRUE(SystemSettings::open(target));
    EXPECT_EQ(fake.workspace->calls,
              (std::vector<std::string>{kLaunch, "open " + target.absoluteString(), kLookup, "activate 42"}));
}

TEST(SystemSettings, NotRunningStillLaunchesAndOpensWithoutError) {
    FakePlatform fake;
    const URL target = settingsURL(KestrumPane::microphone);
    EXPECT_TRUE(SystemSettings::open(target));
    EXPECT_EQ(fake.workspace->calls, (std::vector<std::string>{kLaunch, "open " + target.absoluteString(), kLookup}));
    EXPECT_TRUE(fake.workspace->activatedPIDs.empty());
}

TEST(SystemSettings, ARefusedUrlGivesFalseButLaunchAndActivationStillHappen) {
    FakePlatform fake;
    fake.workspace->openURLResult = false;
    fake.workspace->running = {app(7, std::string(kSystemSettingsBundleIdentifier))};
    EXPECT_FALSE(SystemSettings::open(settingsURL(KestrumPane::bluetooth)));
    ASSERT_EQ(fake.workspace->calls.size(), 4u);
    EXPECT_EQ(fake.workspace->calls.front(), kLaunch);
    EXPECT_EQ(fake.workspace->calls.back(), "activate 7");
}

TEST(SystemSettings, EveryFormOfOpenReachesTheSameUrl) {
    std::vector<std::vector<std::string>> runs;
    const auto record = [&runs](auto&& open) {
        FakePlatform fake;
        fake.workspace->running = {app(5, std::string(kSystemSettingsBundleIdentifier))};
        open();
        runs.push_back(fake.workspace->calls);
    };
    const auto destination = SystemSettingsDestination::privacy(PrivacySecurityAnchor::privacyMicrophone);
    record([&] { SystemSettings::open(destination); });
    record([&] { SystemSettings::open(destination.url()); });
    record([] { SystemSettings::open("com.apple.settings.PrivacySecurity.extension", "Privacy_Microphone"); });
    record([] { SystemSettings::open(settingsURL(KestrumPane::microphone)); });
    ASSERT_EQ(runs.size(), 4u);
    for (const auto& run : runs) EXPECT_EQ(run, runs.front());
    EXPECT_EQ(runs.front()[1], "open " + settingsURL(KestrumPane::microphone).absoluteString());
}

TEST(SystemSettings, ActivateOnlyActivatesTheFirstRunningInstance) {
    FakePlatform fake;
    SystemSettings::activate();
    EXPECT_EQ(fake.workspace->calls, (std::vector<std::string>{kLookup})) << "no launch when not running";

    fake.workspace->calls.clear();
    fake.workspace->running = {app(3, "com.apple.finder"), app(8, std::string(kSystemSettingsBundleIdentifier)),
                               app(9, std::string(kSystemSettingsBundleIdentifier))};
    SystemSettings::activate();
    EXPECT_EQ(fake.workspace->calls, (std::vector<std::string>{kLookup, "activate 8"}));
}

TEST(SystemSettings, WithoutAWorkspaceNothingIsOpened) {
    // No ports installed in this process outside a FakePlatform.
    EXPECT_FALSE(SystemSettings::open(settingsURL(KestrumPane::accessibility)));
    SystemSettings::activate();
}
