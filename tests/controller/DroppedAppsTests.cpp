// Which URLs become dropped applications, when two name the same one, and who is told.
#include <gtest/gtest.h>

#include "FlowTestSupport.hpp"

namespace kestrum {
namespace {

using testsupport::appURL;
using testsupport::Desktop;

class DroppedApps : public ::testing::Test {
protected:
    DroppedApps() {
        controller = Desktop::makeController({appURL("/Applications/Tazel.app")});
        controller->onDrop = [this](const URL& url) {
            log.push_back("drop " + url.path() + " count " + std::to_string(controller->droppedApps().size()));
        };
        subscription = controller->observeObjectWillChange([this] { log.push_back("change"); });
    }
    Desktop desktop;
    std::shared_ptr<KestrumController> controller;
    std::vector<std::string> log;
    Subscription subscription;
};

TEST_F(DroppedApps, RegisteringRefusesNonApplicationsAndDuplicatesOfAnySpelling) {
    for (const char* path : {"/tmp/notes.txt", "/Applications", "/tmp/Tazel.zip", "/Applications/Tazel.app/",
                             "/Applications/./Tazel.app", "/Applications/Sub/../Tazel.app"}) {
        controller->registerDroppedApp(appURL(path));
    }
    controller->registerDroppedApp(URL::parse("https://example.com/Tazel2.app").value());
    EXPECT_EQ(controller->droppedApps(), std::vector<URL>{appURL("/Applications/Tazel.app")});
    EXPECT_TRUE(log.empty());

    controller->registerDroppedApp(appURL("/Applications/Sub/../Other.app"));
    EXPECT_EQ(controller->droppedApps().back(), appURL("/Applications/Other.app"));
    EXPECT_EQ(log, (std::vector<std::string>{"change", "drop /Applications/Other.app count 2"}));
}

TEST_F(DroppedApps, ExtensionCaseIsIgnoredButPathsCompareCaseSensitively) {
    controller->registerDroppedApp(appURL("/Applications/Tazel.APP"));
    controller->registerDroppedApp(appURL("/Applications/tazel.app"));
    EXPECT_EQ(controller->droppedApps(),
              (std::vector<URL>{appURL("/Applications/Tazel.app"), appURL("/Applications/Tazel.APP"),
                                appURL("/Applications/tazel.app")}));
}

TEST_F(DroppedApps, TrailingDotSegmentIsRefusedByRegisterButAcceptedByMerge) {
    controller->registerDroppedApp(appURL("/Applications/Other.app/."));
    EXPECT_EQ(controller->droppedApps().size(), 1u);
    controller->mergeDroppedApps({appURL("/Applications/Other.app/.")});
    EXPECT_EQ(controller->droppedApps().back(), appURL("/Applications/Other.app"));
}

TEST_F(DroppedApps, MergeAppendsEachNewApplicationOnceInOrderTellingOnDropAfterEachAppend) {
    controller->mergeDroppedApps({appURL("/Applications/B.app"), appURL("/Applications/Tazel.app"),
                                  appURL("/Applications/B.app/"), appURL("/tmp/readme"),
                                  appURL("/Applications/C.app"), appURL("/Applications/./B.app")});
    EXPECT_EQ(log, (std::vector<std::string>{"change", "drop /Applications/B.app count 2", "change",
                                             "drop /Applications/C.app count 3"}));
    log.clear();
    controller->mergeDroppedApps({appURL("/tmp/readme")});
    controller->mergeDroppedApps({});
    EXPECT_TRUE(log.empty());
}

TEST_F(DroppedApps, ResetReturnsToTheSeedWithOneAnnouncementAndNoDrop) {
    controller->registerDroppedApp(appURL("/Applications/B.app"));
    log.clear();
    controller->resetDroppedApps();
    EXPECT_EQ(controller->droppedApps(), std::vector<URL>{appURL("/Applications/Tazel.app")});
    EXPECT_EQ(log, std::vector<std::string>{"change"});
}

TEST_F(DroppedApps, CanonicallyEquivalentPathsNameTheSameApplication) {
    // Precomposed é against e followed by a combining acute accent.
    const std::string composed = "/Applications/Caf\xC3\xA9.app";
    const std::string decomposed = "/Applications/Cafe\xCC\x81.app";
    desktop.fake.textServices->canonical[decomposed] = composed;
    controller->registerDroppedApp(appURL(composed));
    controller->registerDroppedApp(appURL(decomposed));
    controller->mergeDroppedApps({appURL(decomposed)});
    EXPECT_EQ(controller->droppedApps().size(), 2u);
    EXPECT_EQ(controller->droppedApps().back(), appURL(composed));

    auto seeded = Desktop::makeController({appURL(decomposed), appURL(composed)});
    EXPECT_EQ(seeded->droppedApps(), std::vector<URL>{appURL(decomposed)});
}

TEST_F(DroppedApps, PreferredApplicationIsTheFirstDroppedOrAnApplicationMainBundle) {
    EXPECT_EQ(controller->preferredAppURL(), appURL("/Applications/Tazel.app"));

    auto empty = Desktop::makeController();
    desktop.fake.fileSystem->bundlePath = "/opt/kestrum/bin";
    EXPECT_FALSE(empty->preferredAppURL());
    desktop.fake.fileSystem->bundlePath = "/Applications/Host.App/Contents/../";
    EXPECT_EQ(empty->preferredAppURL(), appURL("/Applications/Host.App/"));
}

}  // namespace
}  // namespace kestrum
