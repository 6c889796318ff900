// Canonical equivalence of application paths with the real Unicode data.
#include <gtest/gtest.h>

#include "FlowTestSupport.hpp"
#include "kestrum/linux/IcuTextServices.hpp"

namespace kestrum {
namespace {

TEST(DroppedAppsUnicode, PrecomposedAndCombiningSpellingsAreOneApplication) {
    testsupport::Desktop desktop;
    Platform ports = platform();
    ports.textServices = std::make_shared<IcuTextServices>([](const char*) { return std::nullopt; });
    installPlatform(ports);

    const std::string composed = "/Applications/Caf\xC3\xA9.app";      // é
    const std::string decomposed = "/Applications/Cafe\xCC\x81.app";   // e + U+0301
    auto controller = testsupport::Desktop::makeController({URL::fileURL(decomposed)});
    controller->registerDroppedApp(URL::fileURL(composed));
    controller->mergeDroppedApps({URL::fileURL(composed), URL::fileURL("/Applications/Cafe.app")});
    EXPECT_EQ(controller->droppedApps(),
              (std::vector<URL>{URL::fileURL(decomposed), URL::fileURL("/Applications/Cafe.app")}));
}

}  // namespace
}  // namespace kestrum
