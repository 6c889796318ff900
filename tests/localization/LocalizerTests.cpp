// The localizer and the resource bundle over a fake file system.
#include <gtest/gtest.h>

#include <thread>

#include "kestrum/KestrumLocalizer.hpp"
#include "kestrum/ResourceBundle.hpp"
#include "kestrum/fakes/FakePlatform.hpp"
#include "kestrum/fakes/FakeResourceBundle.hpp"

namespace kestrum {
namespace {

using fakes::addResourceBundle;
using fakes::besideMainBundle;

class LocalizerTest : public ::testing::Test {
protected:
    fakes::FakePlatform platform;

    void SetUp() override {
        platform.textServices->userLanguages = {"fr"};
        addResourceBundle(*platform.fileSystem, besideMainBundle(*platform.fileSystem),
                          {
                              {"en", "\"kestrum.pane.accessibility\" = \"Accessibility (en table)\";\n"
                                     "\"kestrum.drag.label\" = \"Drag\";"},
                              {"de", "\"kestrum.pane.accessibility\" = \"Bedienungshilfen\";"},
                              {"fr", "\"kestrum.pane.accessibility\" = \"Accessibilité\";\n"
                                     "\"kestrum.pane.bluetooth\" = \"Bluetooth (fr)\";"},
                          });
    }
};

TEST_F(LocalizerTest, IdentifierPicksItsLocalization) {
    EXPECT_EQ(localizedTitle(KestrumPane::accessibility, "de"), "Bedienungshilfen");
    EXPECT_EQ(localizedTitle(KestrumPane::accessibility, "fr"), "Accessibilité");
    EXPECT_EQ(KestrumLocalizer::string("kestrum.drag.label", "kestrum.drag.label", "en"), "Drag");
}

TEST_F(LocalizerTest, MissingKeyInChosenLocalizationGivesEnglishDefault) {
    // The user's own language (fr) has a translation, but only German is consulted.
    EXPECT_EQ(localizedTitle(KestrumPane::bluetooth, "de"), "Bluetooth");
    EXPECT_EQ(KestrumLocalizer::string("kestrum.drag.label", "kestrum.drag.label", "de"), "kestrum.drag.label");
}

TEST_F(LocalizerTest, AbsentEmptyAndUnmatchedIdentifiersUseTheUserLanguages) {
    for (const std::optional<std::string>& id :
         {std::optional<std::string>{}, std::optional<std::string>{""}, std::optional<std::string>{"sv"}}) {
        EXPECT_EQ(localizedTitle(KestrumPane::accessibility, id), "Accessibilité");
        EXPECT_EQ(localizedTitle(KestrumPane::bluetooth, id), "Bluetooth (fr)");
        EXPECT_EQ(localizedTitle(KestrumPane::microphone, id), "Microphone");
    }
    EXPECT_FALSE(KestrumLocalizer::localizedBundle(std::nullopt));
    EXPECT_FALSE(KestrumLocalizer::localizedBundle(""));
    EXPECT_FALSE(KestrumLocalizer::localizedBundle("sv"));
    ASSERT_TRUE(KestrumLocalizer::localizedBundle("de"));
    EXPECT_EQ(KestrumLocalizer::localizedBundle("de")->path(), besideMainBundle(*platform.fileSystem) + "/de.lproj");
}

TEST_F(LocalizerTest, UserLanguagesWithoutLocalizationUseTheDevelopmentOne) {
    platform.textServices->userLanguages = {"sv", "fi"};
    EXPECT_EQ(localizedTitle(KestrumPane::accessibility, std::nullopt), "Accessibility (en table)");
    platform.textServices->userLanguages = {};
    EXPECT_EQ(localizedTitle(KestrumPane::accessibility, std::nullopt), "Accessibility (en table)");
}

TEST_F(LocalizerTest, MatchedLocalizationWithoutDirectoryFallsBack) {
    // Listed in the bundle, but not a directory that opens.
    platform.fileSystem->directories.erase(besideMainBundle(*platform.fileSystem) + "/de.lproj");
    EXPECT_FALSE(KestrumLocalizer::localizedBundle("de"));
    EXPECT_EQ(localizedTitle(KestrumPane::accessibility, "de"), "Accessibilité");
}

TEST_F(LocalizerTest, UnreadableOrMalformedTableGivesDefaults) {
    auto& files = platform.fileSystem->files;
    files[besideMainBundle(*platform.fileSystem) + "/de.lproj/Localizable.strings"] = "\"kestrum.pane.accessibility\" = ";
    EXPECT_EQ(localizedTitle(KestrumPane::accessibility, "de"), "Accessibility");
    files.erase(besideMainBundle(*platform.fileSystem) + "/de.lproj/Localizable.strings");
    EXPECT_EQ(localizedTitle(KestrumPane::accessibility, "de"), "Accessibility");
}

TEST_F(LocalizerTest, EveryPaneHasItsEnglishDefault) {
    platform.textServices->userLanguages = {"en"};
    platform.fileSystem->files[besideMainBundle(*platform.fileSystem) + "/en.lproj/Localizable.strings"] = "";
    const std::map<KestrumPane, std::string> expected{
        {KestrumPane::appManagement, "App Management"},   {KestrumPane::accessibility, "Accessibility"},
        {KestrumPane::bluetooth, "Bluetooth"},            {KestrumPane::developerTools, "Developer Tools"},
        {KestrumPane::fullDiskAccess, "Full Disk Access"}, {KestrumPane::inputMonitoring, "Input Monitoring"},
        {KestrumPane::mediaAppleMusic, "Media & Apple Music"}, {KestrumPane::microphone, "Microphone"},
        {KestrumPane::screenRecording, "Screen Recording"},
    };
    for (const KestrumPane pane : allCases<KestrumPane>()) {
        EXPECT_EQ(localizedTitle(pane, std::nullopt), expected.at(pane));
        EXPECT_EQ(localizedTitle(pane, "en"), expected.at(pane));
    }
    // A value that is none of the panes is titled like no pane at all.
    EXPECT_EQ(localizedTitle(static_cast<KestrumPane>(9), std::nullopt), "Permission");
    EXPECT_EQ(localizedTitle(static_cast<KestrumPane>(-1), "fr"), "Permission");
}

TEST_F(LocalizerTest, PreferenceListNormalizesSeparatorsAndDropsRepeats) {
    platform.textServices->likelyScripts = {{"en", "Latn"}};
    const std::vector<std::string> expected{"en-US", "en-Latn", "en"};
    EXPECT_EQ(KestrumLocalizer::localizationPreferences("en_US"), expected);
    EXPECT_EQ(KestrumLocalizer::localizationPreferences("en-US"), expected);
    EXPECT_EQ(KestrumLocalizer::localizationPreferences("en"), (std::vector<std::string>{"en", "en-Latn"}));
    // No likely script known: the language alone.
    EXPECT_EQ(KestrumLocalizer::localizationPreferences("xx_YY"), (std::vector<std::string>{"xx-YY", "xx"}));
}

class ResourceBundleAccessorTest : public ::testing::Test {
protected:
    fakes::FakePlatform platform;
    ResourceBundleAccessor accessor{"/build/bin/Kestrum_Kestrum.bundle"};
};

TEST_F(ResourceBundleAccessorTest, PrefersTheBundleBesideTheExecutable) {
    addResourceBundle(*platform.fileSystem, "/opt/kestrum/bin/Kestrum_Kestrum.bundle", {{"en", ""}});
    addResourceBundle(*platform.fileSystem, "/build/bin/Kestrum_Kestrum.bundle", {{"en", ""}});
    ASSERT_TRUE(accessor.bundle());
    EXPECT_EQ(accessor.bundle()->path(), "/opt/kestrum/bin/Kestrum_Kestrum.bundle");
    EXPECT_EQ(accessor.bundle()->localizations(), std::vector<std::string>{"en"});
}

TEST_F(ResourceBundleAccessorTest, FallsBackToTheBuildTreeAndResolvesOnce) {
    platform.fileSystem->bundlePath = "/opt/kestrum/bin/";  // a trailing separator makes no double one
    addResourceBundle(*platform.fileSystem, "/build/bin/Kestrum_Kestrum.bundle", {{"en", ""}});
    ASSERT_TRUE(accessor.bundle());
    EXPECT_EQ(accessor.bundle()->path(), "/build/bin/Kestrum_Kestrum.bundle");
    auto& queries = platform.fileSystem->queries;
    EXPECT_EQ(queries.front(), "list /opt/kestrum/bin/Kestrum_Kestrum.bundle");
    EXPECT_EQ(queries.back(), "list /build/bin/Kestrum_Kestrum.bundle");
    // Resolved once: later uses ask the file system nothing.
    const std::size_t asked = queries.size();
    (void)accessor.bundle();
    EXPECT_EQ(queries.size(), asked);
    EXPECT_TRUE(platform.output->standardError.empty());
}

TEST_F(ResourceBundleAccessorTest, EnclosingBundleAndABuildTreeNoOtherUserCouldHavePlanted) {
    const std::string build = "/build/bin/Kestrum_Kestrum.bundle";
    const std::string app = "/Applications/Tazel.app/Contents";
    FileOwnership other;  // another user's, writable by that user alone
    FileOwnership shared;
    shared.ownedByCurrentUser = true;
    shared.writableByOthers = true;
    FileOwnership sharedSticky = shared;  // like /tmp
    sharedSticky.restrictedDeletion = true;
    FileOwnership groupWritable;
    groupWritable.ownedByAdministrator = true;
    groupWritable.writableByGroup = true;
    FileOwnership administrator;
    administrator.ownedByAdministrator = true;
    struct Case {
        const char* name;
        std::string mainBundle;
        std::vector<std::string> bundles;  // made in the file system besides the build tree's
        std::map<std::string, FileOwnership> owners;
        std::map<std::string, std::string> resolved;
        std::optional<std::string> found;
    };
    const Case cases[] = {
        {"helper in Contents/Helpers", app + "/Helpers", {app + "/Resources/Kestrum_Kestrum.bundle"}, {}, {},
         app + "/Resources/Kestrum_Kestrum.bundle"},
        {"helper in Contents/MacOS", app + "/MacOS/", {app + "/Resources/Kestrum_Kestrum.bundle"}, {}, {},
         app + "/Resources/Kestrum_Kestrum.bundle"},
        {"the application as the main bundle", "/Applications/Tazel.app", {app + "/Resources/Kestrum_Kestrum.bundle"},
         {}, {}, app + "/Resources/Kestrum_Kestrum.bundle"},
        {"beside comes first", app + "/Helpers",
         {app + "/Helpers/Kestrum_Kestrum.bundle", app + "/Resources/Kestrum_Kestrum.bundle"}, {}, {},
         app + "/Helpers/Kestrum_Kestrum.bundle"},
        {"not inside a bundle", "/opt/Helpers", {"/opt/Resources/Kestrum_Kestrum.bundle"}, {}, {}, build},
        {"beside, whoever owns it", "/srv/shared", {"/srv/shared/Kestrum_Kestrum.bundle"},
         {{"/srv/shared", shared}, {"/srv/shared/Kestrum_Kestrum.bundle", other}}, {},
         "/srv/shared/Kestrum_Kestrum.bundle"},
        {"build tree of the administrator", "/opt", {}, {{build, administrator}, {"/build", administrator}}, {}, build},
        {"build tree in a shared sticky folder", "/opt", {}, {{"/build", sharedSticky}}, {}, build},
        {"build-time bundle of another user", "/opt", {}, {{build, other}}, {}, std::nullopt},
        {"build-time bundle writable by others", "/opt", {}, {{build, shared}}, {}, std::nullopt},
        {"build-time bundle itself sticky and shared", "/opt", {}, {{build, sharedSticky}}, {}, std::nullopt},
        {"a folder above writable by its group", "/opt", {}, {{"/build", groupWritable}}, {}, std::nullopt},
        {"a folder above of another user", "/opt", {}, {{"/build/bin", other}}, {}, std::nullopt},
        {"a link into another user's folder", "/opt", {}, {{"/home/other", other}},
         {{build, "/home/other/Kestrum_Kestrum.bundle"}}, std::nullopt},
    };
    for (const auto& c : cases) {
        platform.fileSystem = std::make_shared<fakes::FakeFileSystem>();
        platform.output = std::make_shared<fakes::FakeOutput>();
        platform.install();
        auto& fileSystem = *platform.fileSystem;
        fileSystem.bundlePath = c.mainBundle;
        for (const auto& bundle : c.bundles) addResourceBundle(fileSystem, bundle, {{"en", ""}});
        addResourceBundle(fileSystem, build, {{"en", ""}});
        fileSystem.owners = c.owners;
        fileSystem.resolved = c.resolved;
        ResourceBundleAccessor fresh{build};
        const auto bundle = fresh.bundle();
        EXPECT_EQ(bundle ? std::optional(bundle->path()) : std::nullopt, c.found) << c.name;
        // The message keeps its form: the place beside the program, then the build tree's.
        EXPECT_EQ(platform.output->standardError,
                  c.found ? "" : "could not load resource bundle: from /opt/Kestrum_Kestrum.bundle or " + build + "\n")
            << c.name;
    }
}

TEST_F(ResourceBundleAccessorTest, MissingBundleReportsBothPathsAndEndsTheProcess) {
    const std::string message =
        "could not load resource bundle: from /opt/kestrum/bin/Kestrum_Kestrum.bundle or "
        "/build/bin/Kestrum_Kestrum.bundle\n";
    EXPECT_FALSE(accessor.bundle());
    EXPECT_EQ(platform.output->standardError, message);
    EXPECT_EQ(platform.output->exitCode, 1);
    EXPECT_TRUE(platform.output->standardOutput.empty());
    // Reported once for the installed file system.
    EXPECT_FALSE(accessor.bundle());
    EXPECT_EQ(platform.output->standardError, message);
}

TEST_F(ResourceBundleAccessorTest, AnotherFileSystemIsSearchedAgain) {
    EXPECT_FALSE(accessor.bundle());
    fakes::FakePlatform next;
    addResourceBundle(*next.fileSystem, "/opt/kestrum/bin/Kestrum_Kestrum.bundle", {{"en", ""}});
    EXPECT_TRUE(accessor.bundle());
    EXPECT_TRUE(next.output->standardError.empty());
}

TEST_F(ResourceBundleAccessorTest, FirstUseFromTwoThreadsResolvesOnce) {
    std::thread a([this] { (void)accessor.bundle(); });
    std::thread b([this] { (void)accessor.bundle(); });
    a.join();
    b.join();
    EXPECT_EQ(platform.fileSystem->queries.size(), 2u);
    EXPECT_EQ(platform.output->standardError.find("could not load resource bundle"), 0u);
    EXPECT_EQ(platform.output->standardError.find("could not load", 1), std::string::npos);
}

}  // namespace
}  // namespace kestrum
