#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "kestrum/KestrumScreenRecordingStatus.hpp"
#include "kestrum/PermissionStatusProviders.hpp"
#include "kestrum/PermissionStatusRegistry.hpp"
#include "kestrum/fakes/FakePlatform.hpp"

using namespace kestrum;

namespace {

// A provider that reports a fixed state and carries a tag, so a test can tell instances apart.
class TaggedProvider final : public PermissionStatusProviding {
public:
    TaggedProvider(int tag, PermissionAuthorizationState state) : tag(tag), state(state) {}
    PermissionStatusCapability capability() const override { return PermissionStatusCapability::preflightSupported; }
    PermissionAuthorizationState authorizationState() const override { return state; }
    int tag;
    PermissionAuthorizationState state;
};

int tagOf(const PermissionStatusProviderPtr& provider) {
    const auto* tagged = dynamic_cast<const TaggedProvider*>(provider.get());
    return tagged ? tagged->tag : -1;
}

template <typename T>
bool is(const PermissionStatusProviderPtr& provider) {
    return dynamic_cast<const T*>(provider.get()) != nullptr;
}

// The registry lives for the whole process; every test puts the default entries back.
// No test in this program registers for bluetooth, which therefore keeps no entry.
class PermissionStatusRegistryTest : public ::testing::Test {
protected:
    void TearDown() override {
        PermissionStatusRegistry::registerProvider(AccessibilityPermissionStatusProvider{}, KestrumPane::accessibility);
        PermissionStatusRegistry::registerProvider(FullDiskAccessPermissionStatusProvider{}, KestrumPane::fullDiskAccess);
        PermissionStatusRegistry::registerProvider(MicrophonePermissionStatusProvider{}, KestrumPane::microphone);
    }
};

}  // namespace

TEST_F(PermissionStatusRegistryTest, DefaultTableAndFallback) {
    EXPECT_TRUE(is<AccessibilityPermissionStatusProvider>(PermissionStatusRegistry::provider(KestrumPane::accessibility)));
    EXPECT_TRUE(is<FullDiskAccessPermissionStatusProvider>(PermissionStatusRegistry::provider(KestrumPane::fullDiskAccess)));
    EXPECT_TRUE(is<MicrophonePermissionStatusProvider>(PermissionStatusRegistry::provider(KestrumPane::microphone)));

    const auto bluetooth = PermissionStatusRegistry::provider(KestrumPane::bluetooth);
    ASSERT_TRUE(bluetooth);
    EXPECT_TRUE(is<UnsupportedPermissionStatusProvider>(bluetooth));
    EXPECT_EQ(bluetooth->capability(), PermissionStatusCapability::unsupported);
    EXPECT_EQ(bluetooth->authorizationState(), PermissionAuthorizationState::unknown);
}

TEST_F(PermissionStatusRegistryTest, LastRegistrationWinsOverDefaultsAndEarlierOnes) {
    PermissionStatusRegistry::registerProvider(TaggedProvider(1, PermissionAuthorizationState::granted),
                                               KestrumPane::accessibility);
    EXPECT_EQ(tagOf(PermissionStatusRegistry::provider(KestrumPane::accessibility)), 1);
    PermissionStatusRegistry::registerProvider(TaggedProvider(2, PermissionAuthorizationState::checking),
                                               KestrumPane::accessibility);
    const auto current = PermissionStatusRegistry::provider(KestrumPane::accessibility);
    EXPECT_EQ(tagOf(current), 2);
    EXPECT_EQ(current->authorizationState(), PermissionAuthorizationState::checking);
    // Other panes are untouched.
    EXPECT_TRUE(is<MicrophonePermissionStatusProvider>(PermissionStatusRegistry::provider(KestrumPane::microphone)));
}

TEST_F(PermissionStatusRegistryTest, RegisteringStoresACopyOfAValue) {
    TaggedProvider original(7, PermissionAuthorizationState::granted);
    PermissionStatusRegistry::registerProvider(original, KestrumPane::microphone);
    original.tag = 8;
    original.state = PermissionAuthorizationState::notGranted;
    const auto stored = PermissionStatusRegistry::provider(KestrumPane::microphone);
    EXPECT_EQ(tagOf(stored), 7);
    EXPECT_EQ(stored->authorizationState(), PermissionAuthorizationState::granted);
}

TEST_F(PermissionStatusRegistryTest, MapRegistrationAppliesEveryPairAndEmptyMapChangesNothing) {
    PermissionStatusRegistry::registerProviders({});
    EXPECT_TRUE(is<AccessibilityPermissionStatusProvider>(PermissionStatusRegistry::provider(KestrumPane::accessibility)));
    EXPECT_TRUE(is<UnsupportedPermissionStatusProvider>(PermissionStatusRegistry::provider(KestrumPane::bluetooth)));

    PermissionStatusRegistry::registerProviders({
        {KestrumPane::accessibility, std::make_shared<TaggedProvider>(3, PermissionAuthorizationState::granted)},
        {KestrumPane::fullDiskAccess, std::make_shared<TaggedProvider>(4, PermissionAuthorizationState::granted)},
    });
    EXPECT_EQ(tagOf(PermissionStatusRegistry::provider(KestrumPane::accessibility)), 3);
    EXPECT_EQ(tagOf(PermissionStatusRegistry::provider(KestrumPane::fullDiskAccess)), 4);
}

TEST_F(PermissionStatusRegistryTest, NullProvidersNeverReplaceAnEntry) {
    PermissionStatusRegistry::registerProvider(PermissionStatusProviderPtr{}, KestrumPane::accessibility);
    PermissionStatusRegistry::registerProviders({
        {KestrumPane::microphone, nullptr},
        {KestrumPane::fullDiskAccess, std::make_shared<TaggedProvider>(5, PermissionAuthorizationState::granted)},
    });
    EXPECT_TRUE(is<AccessibilityPermissionStatusProvider>(PermissionStatusRegistry::provider(KestrumPane::accessibility)));
    EXPECT_TRUE(is<MicrophonePermissionStatusProvider>(PermissionStatusRegistry::provider(KestrumPane::microphone)));
    EXPECT_EQ(tagOf(PermissionStatusRegistry::provider(KestrumPane::fullDiskAccess)), 5);
}

TEST_F(PermissionStatusRegistryTest, ValuesThatAreNoPaneHaveNoEntryAndTakeNone) {
    for (const int raw : {9, -1, 1000000}) {
        SCOPED_TRACE(raw);
        const auto bogus = static_cast<KestrumPane>(raw);
        PermissionStatusRegistry::registerProvider(TaggedProvider(8, PermissionAuthorizationState::granted), bogus);
        PermissionStatusRegistry::registerProviders({
            {bogus, std::make_shared<TaggedProvider>(9, PermissionAuthorizationState::granted)},
            {KestrumPane::accessibility, std::make_shared<TaggedProvider>(10, PermissionAuthorizationState::granted)},
        });
        const auto provider = PermissionStatusRegistry::provider(bogus);
        EXPECT_TRUE(is<UnsupportedPermissionStatusProvider>(provider));
        EXPECT_EQ(provider->authorizationState(), PermissionAuthorizationState::unknown);
        // The valid pair of the map still applies; nothing else changed.
        EXPECT_EQ(tagOf(PermissionStatusRegistry::provider(KestrumPane::accessibility)), 10);
        EXPECT_TRUE(is<MicrophonePermissionStatusProvider>(PermissionStatusRegistry::provider(KestrumPane::microphone)));
        EXPECT_TRUE(is<UnsupportedPermissionStatusProvider>(PermissionStatusRegistry::provider(KestrumPane::bluetooth)));
    }
}

TEST_F(PermissionStatusRegistryTest, ScreenRecordingRegistrationIsRepeatable) {
    KestrumScreenRecordingStatus::registerProvider();
    KestrumScreenRecordingStatus::registerProvider();
    fakes::FakePlatform fake;
    fake.permissionQueries->screenCapture = true;
    const auto provider = PermissionStatusRegistry::provider(KestrumPane::screenRecording);
    EXPECT_TRUE(is<ScreenRecordingPermissionStatusProvider>(provider));
    EXPECT_EQ(provider->authorizationState(), PermissionAuthorizationState::granted);
}

namespace {

// Looks the registry up while it is being destroyed: deadlocks (or worse) if the registry
// released a replaced provider while still holding its lock.
class LookupOnDestruction final : public PermissionStatusProviding {
public:
    explicit LookupOnDestruction(std::shared_ptr<int> lookups) : lookups_(std::move(lookups)) {}
    ~LookupOnDestruction() override {
        if (PermissionStatusRegistry::provider(KestrumPane::bluetooth)) ++*lookups_;
    }
    PermissionStatusCapability capability() const override { return PermissionStatusCapability::preflightSupported; }
    // Uses the registry from inside a provider call, as a composite provider might.
    PermissionAuthorizationState authorizationState() const override {
        return PermissionStatusRegistry::provider(KestrumPane::accessibility)->authorizationState();
    }

private:
    std::shared_ptr<int> lookups_;
};

}  // namespace

TEST_F(PermissionStatusRegistryTest, NoProviderCodeRunsUnderTheLock) {
    fakes::FakePlatform fake;
    fake.permissionQueries->accessibilityTrusted = true;
    auto lookups = std::make_shared<int>(0);
    PermissionStatusRegistry::registerProvider(std::make_shared<LookupOnDestruction>(lookups), KestrumPane::microphone);
    EXPECT_EQ(PermissionStatusRegistry::provider(KestrumPane::microphone)->authorizationState(),
              PermissionAuthorizationState::granted);
    // Replacing drops the registry's last reference.
    PermissionStatusRegistry::registerProvider(MicrophonePermissionStatusProvider{}, KestrumPane::microphone);
    EXPECT_EQ(*lookups, 1);

    PermissionStatusRegistry::registerProvider(std::make_shared<LookupOnDestruction>(lookups), KestrumPane::fullDiskAccess);
    PermissionStatusRegistry::registerProviders(
        {{KestrumPane::fullDiskAccess, std::make_shared<FullDiskAccessPermissionStatusProvider>()}});
    EXPECT_EQ(*lookups, 2);
}

TEST_F(PermissionStatusRegistryTest, ConcurrentRegistrationsAndLookupsLoseNothing) {
    // Each writer owns one pane without a default entry; readers look at every pane.
    const std::vector<KestrumPane> writerPanes{KestrumPane::appManagement, KestrumPane::developerTools,
                                               KestrumPane::inputMonitoring, KestrumPane::mediaAppleMusic};
    constexpr int kRounds = 300;
    std::atomic<bool> start{false};
    std::atomic<int> badLookups{0};
    std::vector<std::thread> threads;
    for (std::size_t w = 0; w < writerPanes.size(); ++w) {
        threads.emplace_back([&, w] {
            while (!start.load()) std::this_thread::yield();
            for (int round = 1; round <= kRounds; ++round) {
                const int tag = static_cast<int>(w) * 10000 + round;
                if (round % 2) {
                    PermissionStatusRegistry::registerProvider(
                        TaggedProvider(tag, PermissionAuthorizationState::granted), writerPanes[w]);
                } else {
                    PermissionStatusRegistry::registerProviders(
                        {{writerPanes[w], std::make_shared<TaggedProvider>(tag, PermissionAuthorizationState::granted)}});
                }
                // This thread is the pane's only writer, so it must read back what it wrote.
                if (tagOf(PermissionStatusRegistry::provider(writerPanes[w])) != tag) ++badLookups;
            }
        });
    }
    for (int r = 0; r < 2; ++r) {
        threads.emplace_back([&] {
            while (!start.load()) std::this_thread::yield();
            for (int round = 0; round < kRounds; ++round) {
                for (const auto pane : allCases<KestrumPane>()) {
                    const auto provider = PermissionStatusRegistry::provider(pane);
                    if (!provider) ++badLookups;
                }
                if (!is<AccessibilityPermissionStatusProvider>(PermissionStatusRegistry::provider(KestrumPane::accessibility)))
                    ++badLookups;
            }
        });
    }
    start = true;
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(badLookups.load(), 0);
    for (std::size_t w = 0; w < writerPanes.size(); ++w) {
        EXPECT_EQ(tagOf(PermissionStatusRegistry::provider(writerPanes[w])), static_cast<int>(w) * 10000 + kRounds);
    }
}
