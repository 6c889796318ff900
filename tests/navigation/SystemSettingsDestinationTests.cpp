#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "kestrum/SettingsURLs.hpp"
#include "kestrum/SystemSettingsDestination.hpp"

using namespace kestrum;
using Destination = SystemSettingsDestination;

namespace {

const std::string kScheme = "x-apple.systempreferences:";

URL url(const std::string& text) { return *URL::parse(text); }

}  // namespace

TEST(SystemSettingsDestination, ExplicitConstructionStoresValuesUnchanged) {
    const Destination bare(url("x-apple.systempreferences:anything?x%20y"), std::nullopt, std::nullopt);
    EXPECT_EQ(bare.url().absoluteString(), "x-apple.systempreferences:anything?x%20y");
    EXPECT_FALSE(bare.paneIdentifier());
    EXPECT_FALSE(bare.anchor());

    // Nothing is derived: an anchor that disagrees with the URL is kept as given.
    const Destination odd(url("https://example.invalid/"), std::string("pane"), std::string("a b"));
    EXPECT_EQ(odd.paneIdentifier(), "pane");
    EXPECT_EQ(odd.anchor(), "a b");
}

TEST(SystemSettingsDestination, EmptyAnchorAndNoAnchorShareTheUrlButDiffer) {
    const Destination none = Destination::privacy();
    const Destination empty = Destination::privacy("");
    EXPECT_EQ(none.url(), empty.url());
    EXPECT_EQ(none.url().absoluteString(), kScheme + "com.apple.settings.PrivacySecurity.extension");
    EXPECT_FALSE(none.anchor());
    EXPECT_EQ(empty.anchor(), "");
    EXPECT_NE(none, empty);
    EXPECT_NE(std::hash<Destination>{}(none), std::hash<Destination>{}(empty));
    const std::unordered_set<Destination> set{none, empty, Destination::privacy()};
    EXPECT_EQ(set.size(), 2u);
    EXPECT_EQ(none, Destination::privacy());
    EXPECT_EQ(std::hash<Destination>{}(none), std::hash<Destination>{}(Destination::privacy()));
}

TEST(SystemSettingsDestination, PresenceMarkersKeepFieldsApartInTheHash) {
    // Same texts in different fields, or absent versus empty, must not collide by construction.
    const URL u = url("x-apple.systempreferences:p");
    const Destination a(u, std::string("x"), std::nullopt);
    const Destination b(u, std::nullopt, std::string("x"));
    const Destination c(u, std::string(""), std::nullopt);
    const Destination d(u, std::nullopt, std::nullopt);
    const std::unordered_set<std::size_t> hashes{std::hash<Destination>{}(a), std::hash<Destination>{}(b),
                                                 std::hash<Destination>{}(c), std::hash<Destination>{}(d)};
    EXPECT_EQ(hashes.size(), 4u);
    EXPECT_NE(a, b);
    EXPECT_NE(c, d);
}

TEST(SystemSettingsDestination, AnchorsArePercentEncodedForAQueryButStoredAsGiven) {
    const Destination spaced = Destination::accessibility("a b#c");
    EXPECT_EQ(spaced.url().absoluteString(), kScheme + "com.apple.Accessibility-Settings.extension?a%20b%23c");
    EXPECT_EQ(spaced.anchor(), "a b#c");
    EXPECT_EQ(spaced.paneIdentifier(), "com.apple.Accessibility-Settings.extension");

    // The 19 query characters stay; "%" and non-ASCII text are encoded byte by byte.
    const std::string allowed = "-._~!$&'()*+,;=:@/?";
    EXPECT_EQ(Destination::privacy(allowed).url().absoluteString(),
              kScheme + "com.apple.settings.PrivacySecurity.extension?" + allowed);
    EXPECT_EQ(Destination::privacy("100%\xC3\xA9[]\"<>\\^`{|}").url().absoluteString(),
              kScheme + "com.apple.settings.PrivacySecurity.extension?100%25%C3%A9%5B%5D%22%3C%3E%5C%5E%60%7B%7C%7D");
}

TEST(SystemSettingsDestination, AnAnchorWithoutCharacterFormIsLeftOutOfTheUrlOnly) {
    // Not well-formed UTF-8: a lone continuation byte, a truncated sequence, an encoded surrogate.
    for (const std::string& bad : {std::string("x\x80"), std::string("\xE2\x82"), std::string("\xED\xA0\x80")}) {
        const Destination destination = Destination::privacy(bad);
        EXPECT_EQ(destination.url(), Destination::privacy().url());
        EXPECT_EQ(destination.anchor(), bad);
    }
}

TEST(SystemSettingsDestination, AnIdentifierAUrlCannotCarryStillGivesADestination) {
    const Destination destination("my pane", std::optional<std::string_view>("x y"));
    EXPECT_EQ(destination.url().absoluteString(), kScheme + "my%20pane?x%20y");
    EXPECT_EQ(destination.paneIdentifier(), "my pane");
    EXPECT_EQ(destination.anchor(), "x y");
}

TEST(SystemSettingsDestination, NamedDestinationsWithAnchors) {
    const Destination vpn = Destination::vpn(VPNSettingsAnchor::vpnOnDemand);
    EXPECT_EQ(vpn.url().absoluteString(),
              kScheme + "com.apple.NetworkExtensionSettingsUI.NESettingsUIExtension*vpn?VPN%20on%20Demand");
    EXPECT_EQ(vpn.anchor(), "VPN on Demand");

    const Destination share = Destination::loginItems(LoginItemsExtensionPointIdentifier::shareServices);
    EXPECT_EQ(share.url().absoluteString(),
              kScheme + "com.apple.ExtensionsPreferences?extensionPointIdentifier=com.apple.share-services");
    EXPECT_EQ(share.paneIdentifier(), "com.apple.ExtensionsPreferences");
    EXPECT_EQ(share.anchor(), "extensionPointIdentifier=com.apple.share-services");
    EXPECT_EQ(share, Destination::loginItems("com.apple.share-services"));

    const Destination emptyPoint = Destination::loginItems(std::string_view(""));
    EXPECT_EQ(emptyPoint.url().absoluteString(), kScheme + "com.apple.ExtensionsPreferences?extensionPointIdentifier=");
    EXPECT_EQ(emptyPoint.anchor(), "extensionPointIdentifier=");

    EXPECT_EQ(Destination::loginItems(LoginItemsSettingsAnchor::extensionItems).url().absoluteString(),
              kScheme + "com.apple.LoginItems-Settings.extension?ExtensionItems");
    EXPECT_EQ(Destination::displays(DisplaySettingsAnchor::nightShiftSection).url().absoluteString(),
              kScheme + "com.apple.Displays-Settings.extension?nightShiftSection");
    EXPECT_EQ(Destination::wifi(WiFiSettingsAnchor::generalJoin).url().absoluteString(),
              kScheme + "com.apple.wifi-settings-extension?General_Join");
    EXPECT_EQ(Destination::accessibility(AccessibilitySettingsAnchor::voiceOver).url().absoluteString(),
              kScheme + "com.apple.Accessibility-Settings.extension?AX_feature.voiceOver");
    EXPECT_EQ(Destination::accessibility(AccessibilitySettingsAnchor::zoom), Destination::accessibility("AX_feature.zoom"));
    EXPECT_EQ(Destination::privacy(PrivacySecurityAnchor::privacyMicrophone).url(), settingsURL(KestrumPane::microphone));
    EXPECT_EQ(Destination::privacy(PrivacySecurityAnchor::fileVault), Destination::privacy("FileVault"));
}

TEST(SystemSettingsDestination, ConstantsAreBuiltOnceAndEqualTheirBuiltForm) {
    struct Row {
        const Destination& (*constant)();
        const char* pane;
    };
    const Row rows[] = {
        {&Destination::wallpaper, "com.apple.Wallpaper-Settings.extension"},
        {&Destination::displays, "com.apple.Displays-Settings.extension"},
        {&Destination::bluetooth, "com.apple.BluetoothSettings"},
        {&Destination::loginItems, "com.apple.LoginItems-Settings.extension"},
        {&Destination::wifi, "com.apple.wifi-settings-extension"},
        {&Destination::vpn, "com.apple.NetworkExtensionSettingsUI.NESettingsUIExtension*vpn"},
        {&Destination::accessibility, "com.apple.Accessibility-Settings.extension"},
    };
    for (const auto& row : rows) {
        const Destination& first = row.constant();
        EXPECT_EQ(&first, &row.constant()) << row.pane;
        EXPECT_EQ(first.url().absoluteString(), kScheme + row.pane);
        EXPECT_EQ(first.paneIdentifier(), row.pane);
        EXPECT_FALSE(first.anchor());
        EXPECT_EQ(first, Destination(row.pane, std::nullopt));
    }
}

TEST(SystemSettingsDestination, ConstantsAndBuiltValuesAreSafeToShareAcrossThreads) {
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &mismatches] {
            for (int i = 0; i < 200; ++i) {
                if (Destination::vpn().url().absoluteString() != kScheme + std::string(Destination::vpnPaneIdentifier)) ++mismatches[t];
                if (Destination::wifi() != Destination(Destination::wifiPaneIdentifier, std::nullopt)) ++mismatches[t];
                const Destination copy = Destination::accessibility();
                if (copy.paneIdentifier() != Destination::accessibilityPaneIdentifier) ++mismatches[t];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}
