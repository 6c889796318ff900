#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "kestrum/SettingsAnchors.hpp"
#include "kestrum/SettingsURLs.hpp"
#include "kestrum/SystemSettingsDestination.hpp"

using namespace kestrum;

namespace {

template <typename E>
void expectDistinctRoundTrippingRawValues(std::size_t count) {
    const auto cases = allCases<E>();
    ASSERT_EQ(cases.size(), count) << rawEnumTypeName<E>();
    std::set<std::string_view> seen;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        // Declaration order is the listing order.
        EXPECT_EQ(static_cast<std::size_t>(cases[i]), i);
        const auto raw = rawValue(cases[i]);
        EXPECT_FALSE(raw.empty());
        EXPECT_TRUE(seen.insert(raw).second) << "duplicate raw value " << raw;
        EXPECT_EQ(fromRawValue<E>(raw), cases[i]);
    }
}

}  // namespace

TEST(SettingsAnchors, EverySetHasItsCasesWithDistinctRawValues) {
    expectDistinctRoundTrippingRawValues<PrivacySecurityAnchor>(34);
    expectDistinctRoundTrippingRawValues<DisplaySettingsAnchor>(10);
    expectDistinctRoundTrippingRawValues<LoginItemsSettingsAnchor>(1);
    expectDistinctRoundTrippingRawValues<LoginItemsExtensionPointIdentifier>(10);
    expectDistinctRoundTrippingRawValues<WiFiSettingsAnchor>(4);
    expectDistinctRoundTrippingRawValues<VPNSettingsAnchor>(2);
    expectDistinctRoundTrippingRawValues<AccessibilitySettingsAnchor>(29);
}

TEST(SettingsAnchors, FirstLastAndIrregularRawValues) {
    EXPECT_EQ(allCases<PrivacySecurityAnchor>().front(), PrivacySecurityAnchor::advanced);
    EXPECT_EQ(allCases<PrivacySecurityAnchor>().back(), PrivacySecurityAnchor::securityImprovements);
    EXPECT_EQ(allCases<AccessibilitySettingsAnchor>().front(), AccessibilitySettingsAnchor::display);
    EXPECT_EQ(allCases<AccessibilitySettingsAnchor>().back(), AccessibilitySettingsAnchor::shortcut);

    EXPECT_EQ(rawValue(PrivacySecurityAnchor::locationAccessReport), "Location_Access_Report");
    EXPECT_EQ(rawValue(LoginItemsSettingsAnchor::extensionItems), "ExtensionItems");
    EXPECT_EQ(rawValue(LoginItemsExtensionPointIdentifier::actions), "com.apple.ui-services");
    EXPECT_EQ(rawValue(LoginItemsExtensionPointIdentifier::legacySpotlightImporter),
              "com.apple.extensionkit.legacy-plugins.spotlight-importer");
    EXPECT_EQ(rawValue(WiFiSettingsAnchor::generalDetails), "General_Details");
    EXPECT_EQ(rawValue(VPNSettingsAnchor::vpnOnDemand), "VPN on Demand");
    EXPECT_EQ(rawValue(DisplaySettingsAnchor::nightShiftSection), "nightShiftSection");
    // The accessibility pane mixes three spellings.
    EXPECT_EQ(rawValue(AccessibilitySettingsAnchor::mouseAndTrackpad), "mouseAndTrackpad");
    EXPECT_EQ(rawValue(AccessibilitySettingsAnchor::voiceOver), "AX_feature.voiceOver");
    EXPECT_EQ(rawValue(AccessibilitySettingsAnchor::spokenContent), "AX_FEATURE_SPOKENCONTENT");
    EXPECT_EQ(rawValue(AccessibilitySettingsAnchor::personalVoice), "AX_FEATURE_PERSONALVOICE");
}

TEST(SettingsAnchors, ConstructionIsExactAndCaseSensitive) {
    EXPECT_EQ(fromRawValue<PrivacySecurityAnchor>("Privacy_Microphone"), PrivacySecurityAnchor::privacyMicrophone);
    EXPECT_FALSE(fromRawValue<PrivacySecurityAnchor>("privacy_microphone"));
    EXPECT_FALSE(fromRawValue<PrivacySecurityAnchor>(" Privacy_Microphone"));
    EXPECT_FALSE(fromRawValue<PrivacySecurityAnchor>("privacyMicrophone"));
    EXPECT_FALSE(fromRawValue<LoginItemsExtensionPointIdentifier>("actions"));
    EXPECT_FALSE(fromRawValue<VPNSettingsAnchor>("VPN%20on%20Demand"));
    EXPECT_FALSE(fromRawValue<AccessibilitySettingsAnchor>("AX_FEATURE_VOICEOVER"));
    EXPECT_FALSE(decodeRawValue<WiFiSettingsAnchor>("advanced"));
    EXPECT_EQ(encodeRawValue(WiFiSettingsAnchor::advanced), "Advanced");
}

TEST(SettingsURLs, EveryPaneOpensItsPrivacyList) {
    const std::string prefix = "x-apple.systempreferences:com.apple.settings.PrivacySecurity.extension?";
    struct Row {
        KestrumPane pane;
        PrivacySecurityAnchor anchor;
        std::size_t anchorPosition;
        const char* text;
    };
    const Row rows[] = {
        {KestrumPane::appManagement, PrivacySecurityAnchor::privacyAppBundles, 8, "Privacy_AppBundles"},
        {KestrumPane::accessibility, PrivacySecurityAnchor::privacyAccessibility, 4, "Privacy_Accessibility"},
        {KestrumPane::bluetooth, PrivacySecurityAnchor::privacyBluetooth, 11, "Privacy_Bluetooth"},
        {KestrumPane::developerTools, PrivacySecurityAnchor::privacyDevTools, 15, "Privacy_DevTools"},
        {KestrumPane::fullDiskAccess, PrivacySecurityAnchor::privacyAllFiles, 6, "Privacy_AllFiles"},
        {KestrumPane::inputMonitoring, PrivacySecurityAnchor::privacyListenEvent, 19, "Privacy_ListenEvent"},
        {KestrumPane::mediaAppleMusic, PrivacySecurityAnchor::privacyMedia, 21, "Privacy_Media"},
        {KestrumPane::microphone, PrivacySecurityAnchor::privacyMicrophone, 22, "Privacy_Microphone"},
        {KestrumPane::screenRecording, PrivacySecurityAnchor::privacyScreenCapture, 29, "Privacy_ScreenCapture"},
    };
    ASSERT_EQ(std::size(rows), allCases<KestrumPane>().size());
    for (const auto& row : rows) {
        EXPECT_EQ(privacyAnchor(row.pane), row.anchor) << rawValue(row.pane);
        EXPECT_EQ(allCases<PrivacySecurityAnchor>()[row.anchorPosition], row.anchor);
        EXPECT_EQ(settingsURL(row.pane).absoluteString(), prefix + row.text);
    }
    // A value that is none of the panes has no anchor and opens Privacy & Security itself.
    for (const int raw : {9, -1, 1000000}) {
        const auto bogus = static_cast<KestrumPane>(raw);
        EXPECT_EQ(caseIndex(bogus), std::nullopt) << raw;
        EXPECT_EQ(privacyAnchor(bogus), std::nullopt) << raw;
        EXPECT_EQ(settingsURL(bogus), SystemSettingsDestination::privacy().url()) << raw;
        EXPECT_EQ(rawValue(bogus), "") << raw;
    }
}
