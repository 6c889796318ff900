#include <gtest/gtest.h>

#include "kestrum/KestrumPane.hpp"
#include "kestrum/PermissionAuthorizationState.hpp"

using namespace kestrum;

TEST(RawEnum, PanesRoundTripExactlyAndInOrder) {
    const auto all = allCases<KestrumPane>();
    ASSERT_EQ(all.size(), 9u);
    EXPECT_EQ(all.front(), KestrumPane::appManagement);
    EXPECT_EQ(all.back(), KestrumPane::screenRecording);
    for (const auto pane : all) EXPECT_EQ(fromRawValue<KestrumPane>(rawValue(pane)), pane);
    EXPECT_FALSE(fromRawValue<KestrumPane>("Accessibility"));
    EXPECT_FALSE(fromRawValue<KestrumPane>(" accessibility"));
    EXPECT_FALSE(fromRawValue<KestrumPane>("accessibility "));
    EXPECT_FALSE(fromRawValue<KestrumPane>(""));
    EXPECT_FALSE(fromRawValue<KestrumPane>("screen_recording"));
}

TEST(RawEnum, OnlyTheMicrophoneGoesWithoutThePanel) {
    for (const auto pane : allCases<KestrumPane>()) {
        EXPECT_EQ(supportsFloatingAuthorizationPanel(pane), pane != KestrumPane::microphone);
    }
}

TEST(RawEnum, StatesAndCapabilities) {
    for (const auto s : allCases<PermissionAuthorizationState>()) {
        EXPECT_EQ(fromRawValue<PermissionAuthorizationState>(rawValue(s)), s);
    }
    EXPECT_FALSE(fromRawValue<PermissionAuthorizationState>("Granted"));
    EXPECT_EQ(rawValue(PermissionStatusCapability::preflightSupported), "preflightSupported");
}
