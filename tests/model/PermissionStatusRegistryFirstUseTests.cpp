#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "kestrum/KestrumScreenRecordingStatus.hpp"
#include "kestrum/PermissionStatusProviders.hpp"
#include "kestrum/PermissionStatusRegistry.hpp"
#include "kestrum/fakes/FakePlatform.hpp"

using namespace kestrum;

namespace {

template <typename T>
bool is(const PermissionStatusProviderPtr& provider) {
    return dynamic_cast<const T*>(provider.get()) != nullptr;
}

}  // namespace

// The only test of this program: the registry is still unused when it starts.
TEST(PermissionStatusRegistryFirstUse, ConcurrentFirstUseSeesTheWholeDefaultTableAndScreenRecordingJoinsLater) {
    std::atomic<bool> start{false};
    std::atomic<int> halfBuilt{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            while (!start.load()) std::this_thread::yield();
            if (!is<AccessibilityPermissionStatusProvider>(PermissionStatusRegistry::provider(KestrumPane::accessibility)))
                ++halfBuilt;
            if (!is<FullDiskAccessPermissionStatusProvider>(PermissionStatusRegistry::provider(KestrumPane::fullDiskAccess)))
                ++halfBuilt;
            if (!is<MicrophonePermissionStatusProvider>(PermissionStatusRegistry::provider(KestrumPane::microphone)))
                ++halfBuilt;
        });
    }
    start = true;
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(halfBuilt.load(), 0);

    fakes::FakePlatform fake;
    fake.permissionQueries->screenCapture = true;
    for (const auto pane : allCases<KestrumPane>()) {
        const bool hasDefault = pane == KestrumPane::accessibility || pane == KestrumPane::fullDiskAccess ||
                                pane == KestrumPane::microphone;
        const auto provider = PermissionStatusRegistry::provider(pane);
        EXPECT_EQ(is<UnsupportedPermissionStatusProvider>(provider), !hasDefault) << rawValue(pane);
    }
    EXPECT_EQ(PermissionStatusRegistry::provider(KestrumPane::screenRecording)->authorizationState(),
              PermissionAuthorizationState::unknown);

    KestrumScreenRecordingStatus::registerProvider();
    const auto screen = PermissionStatusRegistry::provider(KestrumPane::screenRecording);
    EXPECT_TRUE(is<ScreenRecordingPermissionStatusProvider>(screen));
    EXPECT_EQ(screen->authorizationState(), PermissionAuthorizationState::granted);
}
