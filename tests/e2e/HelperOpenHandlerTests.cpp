// `open` hands the pane's URL to the desktop's URL opener, which passes it to a throwaway
// handler for the settings scheme.
#include <gtest/gtest.h>

#include "RecordingURLHandler.hpp"

namespace kestrum::e2e {
namespace {

// Every line is checked against the output schema when a test ends.
class HelperOpenHandlerTests : public OutputSchemaCheckedTest {};

TEST_F(HelperOpenHandlerTests, EveryPaneReachesTheHandlerWithExactlyItsURL) {
    const RecordingURLHandler handler;
    const std::pair<const char*, const char*> panes[] = {
        {"appManagement", "Privacy_AppBundles"}, {"accessibility", "Privacy_Accessibility"},
        {"bluetooth", "Privacy_Bluetooth"},      {"developerTools", "Privacy_DevTools"},
        {"fullDiskAccess", "Privacy_AllFiles"},  {"inputMonitoring", "Privacy_ListenEvent"},
        {"mediaAppleMusic", "Privacy_Media"},    {"microphone", "Privacy_Microphone"},
        {"screenRecording", "Privacy_ScreenCapture"},
    };
    for (const auto& [kind, anchor] : panes) {
        handler.forget();
        const auto result = runHelper({"open", kind, "--app-url", "/Apps/Tazel.app"}, handler.environment());
        EXPECT_EQ(result.standardOutput, std::string(R"({"success":true,"kind":")") + kind + "\"}\n");
        EXPECT_EQ(result.standardError, "");
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(handler.awaitURL(),
                  std::string("x-apple.systempreferences:com.apple.settings.PrivacySecurity.extension?") + anchor)
            << kind;
    }
}

TEST_F(HelperOpenHandlerTests, OpenSucceedsWhenNoOpenerCanBeStarted) {
    // Nothing can open the URL (no opener on the search path): the answer is the same.
    const RecordingURLHandler handler;
    const auto result = runHelper({"open", "microphone"}, handler.environment("PATH=" + handler.temp / "empty"));
    EXPECT_EQ(result.standardOutput, "{\"success\":true,\"kind\":\"microphone\"}\n");
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(result.exitCode, 0);
}

}  // namespace
}  // namespace kestrum::e2e
