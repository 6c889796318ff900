// `open` hands the pane's URL to the desktop's URL opener. A throwaway handler for the
// settings scheme is registered in private XDG folders, and the opener is made deterministic:
// a generic desktop (X-Generic), a display name so that it consults the scheme handlers (the
// name is never connected to), and no system-wide data or configuration folders.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "HelperProcess.hpp"

namespace kestrum::e2e {
namespace {

class HelperOpenHandlerTests : public OutputSchemaCheckedTest {
protected:
    void SetUp() override {
        OutputSchemaCheckedTest::SetUp();
        ASSERT_FALSE(temp.path().empty());
        // The handler also prints, to prove that nothing it writes reaches the helper's streams.
        temp.write("record",
                   "#!/bin/sh\n"
                   "echo handler-noise\n"
                   "echo handler-noise >&2\n"
                   "printf '%s' \"$1\" > \"" + temp / "received.tmp" + "\" && mv \"" + temp / "received.tmp" +
                       "\" \"" + temp / "received" + "\"\n",
                   true);
        temp.write("data/applications/kestrum-record.desktop",
                   "[Desktop Entry]\nType=Application\nName=Record\nExec=" + temp / "record" +
                       " %u\nMimeType=x-scheme-handler/x-apple.systempreferences;\nNoDisplay=true\n");
        temp.write("config/mimeapps.list",
                   "[Default Applications]\nx-scheme-handler/x-apple.systempreferences=kestrum-record.desktop\n");
        std::filesystem::create_directories(temp / "empty");
        std::filesystem::create_directories(temp / "home");
    }

    std::vector<std::string> environment() const {
        return {"PATH=/usr/bin:/bin",
                "LC_ALL=C.UTF-8",
                "HOME=" + temp / "home",
                "XDG_DATA_HOME=" + temp / "data",
                "XDG_DATA_DIRS=" + temp / "empty",
                "XDG_CONFIG_HOME=" + temp / "config",
                "XDG_CONFIG_DIRS=" + temp / "empty",
                "XDG_CURRENT_DESKTOP=X-Generic",
                "DISPLAY=:kestrum-unused"};
    }

    // What the handler received; the opener runs on after the helper has ended.
    std::optional<std::string> awaitHandler() const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            if (auto received = readWholeFile(temp / "received")) return received;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return std::nullopt;
    }

    TempDirectory temp;
};

TEST_F(HelperOpenHandlerTests, EveryPaneReachesTheHandlerWithExactlyItsURL) {
    const std::pair<const char*, const char*> panes[] = {
        {"appManagement", "Privacy_AppBundles"}, {"accessibility", "Privacy_Accessibility"},
        {"bluetooth", "Privacy_Bluetooth"},      {"developerTools", "Privacy_DevTools"},
        {"fullDiskAccess", "Privacy_AllFiles"},  {"inputMonitoring", "Privacy_ListenEvent"},
        {"mediaAppleMusic", "Privacy_Media"},    {"microphone", "Privacy_Microphone"},
        {"screenRecording", "Privacy_ScreenCapture"},
    };
    for (const auto& [kind, anchor] : panes) {
        std::filesystem::remove(temp / "received");
        const auto result = runHelper({"open", kind, "--app-url", "/Apps/Tazel.app"}, environment());
        EXPECT_EQ(result.standardOutput, std::string(R"({"success":true,"kind":")") + kind + "\"}\n");
        EXPECT_EQ(result.standardError, "");
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(awaitHandler(),
                  std::string("x-apple.systempreferences:com.apple.settings.PrivacySecurity.extension?") + anchor)
            << kind;
    }
}

TEST_F(HelperOpenHandlerTests, OpenSucceedsWhenNoOpenerCanBeStarted) {
    // Nothing can open the URL (no opener on the search path): the answer is the same.
    auto env = environment();
    env[0] = "PATH=" + temp / "empty";
    const auto result = runHelper({"open", "microphone"}, env);
    EXPECT_EQ(result.standardOutput, "{\"success\":true,\"kind\":\"microphone\"}\n");
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(result.exitCode, 0);
}

}  // namespace
}  // namespace kestrum::e2e
