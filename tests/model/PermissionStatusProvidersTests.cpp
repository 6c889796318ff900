#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "kestrum/KestrumScreenRecordingStatus.hpp"
#include "kestrum/PermissionStatusProviders.hpp"
#include "kestrum/fakes/FakePlatform.hpp"

using namespace kestrum;
using kestrum::fakes::FakePlatform;

namespace {

constexpr auto granted = PermissionAuthorizationState::granted;
constexpr auto notGranted = PermissionAuthorizationState::notGranted;
constexpr auto unknown = PermissionAuthorizationState::unknown;

}  // namespace

TEST(PermissionStatusProviders, CapabilitiesOfEveryProvider) {
    EXPECT_EQ(AccessibilityPermissionStatusProvider().capability(), PermissionStatusCapability::preflightSupported);
    EXPECT_EQ(FullDiskAccessPermissionStatusProvider().capability(), PermissionStatusCapability::preflightSupported);
    EXPECT_EQ(MicrophonePermissionStatusProvider().capability(), PermissionStatusCapability::preflightSupported);
    EXPECT_EQ(ScreenRecordingPermissionStatusProvider().capability(), PermissionStatusCapability::preflightSupported);
    EXPECT_EQ(UnsupportedPermissionStatusProvider().capability(), PermissionStatusCapability::unsupported);
    EXPECT_EQ(UnsupportedPermissionStatusProvider().authorizationState(), unknown);
}

TEST(PermissionStatusProviders, AccessibilityAndScreenRecordingFollowTheirQueryAtCallTime) {
    FakePlatform fake;
    const AccessibilityPermissionStatusProvider accessibility;
    const ScreenRecordingPermissionStatusProvider screen;
    EXPECT_EQ(accessibility.authorizationState(), notGranted);
    EXPECT_EQ(screen.authorizationState(), notGranted);

    // The same provider objects see a changed answer: nothing is cached.
    fake.permissionQueries->accessibilityTrusted = true;
    EXPECT_EQ(accessibility.authorizationState(), granted);
    EXPECT_EQ(screen.authorizationState(), notGranted);
    fake.permissionQueries->screenCapture = true;
    EXPECT_EQ(screen.authorizationState(), granted);
}

TEST(PermissionStatusProviders, MicrophoneMapsEveryAuthorizationIncludingUnknownNumbers) {
    FakePlatform fake;
    const MicrophonePermissionStatusProvider microphone;
    const std::vector<std::pair<AudioCaptureAuthorization, PermissionAuthorizationState>> rows{
        {AudioCaptureAuthorization::authorized, granted},
        {AudioCaptureAuthorization::notDetermined, notGranted},
        {AudioCaptureAuthorization::restricted, notGranted},
        {AudioCaptureAuthorization::denied, notGranted},
        {static_cast<AudioCaptureAuthorization>(4), unknown},
        {static_cast<AudioCaptureAuthorization>(-1), unknown},
    };
    for (const auto& [authorization, expected] : rows) {
        fake.permissionQueries->audio = authorization;
        EXPECT_EQ(microphone.authorizationState(), expected) << static_cast<int>(authorization);
    }
    EXPECT_TRUE(fake.permissionQueries->pendingAudioRequests.empty()) << "reading the state must never ask";
}

TEST(PermissionStatusProviders, MicrophoneRequestAnswersAtOnceWhenTheAnswerIsKnown) {
    FakePlatform fake;
    const MicrophonePermissionStatusProvider microphone;
    const std::vector<std::pair<AudioCaptureAuthorization, PermissionAuthorizationState>> rows{
        {AudioCaptureAuthorization::denied, notGranted},
        {AudioCaptureAuthorization::restricted, notGranted},
        {AudioCaptureAuthorization::authorized, granted},
        {static_cast<AudioCaptureAuthorization>(9), unknown},
    };
    for (const auto& [authorization, expected] : rows) {
        fake.permissionQueries->audio = authorization;
        std::vector<PermissionAuthorizationState> answers;
        microphone.requestAuthorization([&answers](PermissionAuthorizationState s) { answers.push_back(s); });
        // Called exactly once, before requestAuthorization returned.
        ASSERT_EQ(answers.size(), 1u) << static_cast<int>(authorization);
        EXPECT_EQ(answers[0], expected);
    }
    EXPECT_TRUE(fake.permissionQueries->pendingAudioRequests.empty());
}

TEST(PermissionStatusProviders, MicrophoneRequestAsksThePlatformWhenNotDetermined) {
    FakePlatform fake;
    const MicrophonePermissionStatusProvider microphone;
    fake.permissionQueries->audio = AudioCaptureAuthorization::notDetermined;

    std::vector<PermissionAuthorizationState> answers;
    const auto record = [&answers](PermissionAuthorizationState s) { answers.push_back(s); };
    microphone.requestAuthorization(record);
    microphone.requestAuthorization(record);
    ASSERT_EQ(fake.permissionQueries->pendingAudioRequests.size(), 2u);
    EXPECT_TRUE(answers.empty()) << "nothing is reported before the platform answers";

    fake.permissionQueries->pendingAudioRequests[0](true);
    fake.permissionQueries->pendingAudioRequests[1](false);
    EXPECT_EQ(answers, (std::vector{granted, notGranted}));
}

TEST(PermissionStatusProviders, WithoutInstalledPortsProvidersAnswerWithoutCrashing) {
    // No FakePlatform here: the process has no ports installed.
    EXPECT_EQ(AccessibilityPermissionStatusProvider().authorizationState(), notGranted);
    EXPECT_EQ(ScreenRecordingPermissionStatusProvider().authorizationState(), notGranted);
    EXPECT_EQ(FullDiskAccessPermissionStatusProvider().authorizationState(), notGranted);
    EXPECT_EQ(MicrophonePermissionStatusProvider().authorizationState(), unknown);
    std::optional<PermissionAuthorizationState> answer;
    MicrophonePermissionStatusProvider().requestAuthorization([&answer](auto s) { answer = s; });
    EXPECT_EQ(answer, unknown);
    MicrophonePermissionStatusProvider().requestAuthorization(nullptr);  // an empty completion is ignored
}

class FullDiskAccessProbe : public ::testing::Test {
protected:
    FakePlatform fake;
    fakes::FakeFileSystem& files = *fake.fileSystem;

    PermissionAuthorizationState probe() { return FullDiskAccessPermissionStatusProvider().authorizationState(); }

    static constexpr const char* kMail = "/Users/tester/Library/Mail";
    static constexpr const char* kSafari = "/Users/tester/Library/Safari/Databases";
    static constexpr const char* kMessages = "/Users/tester/Library/Messages";
    static constexpr const char* kSharedFileList = "/Users/tester/Library/Application Support/com.apple.sharedfilelist";
};

TEST_F(FullDiskAccessProbe, NothingReadableGoesThroughEveryStepInOrder) {
    files.directories["/Users"] = {"Shared", "tester", ".localized", "alice", "bob"};
    files.existing.insert("/Users/bob");  // exists, but this process may not read it
    EXPECT_EQ(probe(), notGranted);
    const std::vector<std::string> expected{
        "readable /var/root",
        "readable /private/etc/sudoers",
        "readable /Library/Application Support/com.apple.TCC/TCC.db",
        "readable /private/var/db/SystemPolicy",
        "list /Users",
        "readable /Users/alice",
        "readable /Users/bob",
        std::string("exists ") + kMail,
        std::string("exists ") + kSafari,
        std::string("exists ") + kMessages,
        std::string("exists ") + kSharedFileList,
    };
    EXPECT_EQ(files.queries, expected);
}

TEST_F(FullDiskAccessProbe, FirstReadableProtectedFileEndsTheProbe) {
    files.readable.insert("/Library/Application Support/com.apple.TCC/TCC.db");
    EXPECT_EQ(probe(), granted);
    EXPECT_EQ(files.queries.size(), 3u);
    EXPECT_EQ(files.queries.back(), "readable /Library/Application Support/com.apple.TCC/TCC.db");

    files.queries.clear();
    files.readable = {"/var/root"};
    EXPECT_EQ(probe(), granted);
    EXPECT_EQ(files.queries, (std::vector<std::string>{"readable /var/root"}));
}

TEST_F(FullDiskAccessProbe, AnotherUsersFolderCountsOnlyWhenReadableAndListable) {
    files.directories["/Users"] = {"alice", "carol"};
    files.readable.insert("/Users/alice");  // readable, but listing it fails
    files.readable.insert("/Users/carol");
    files.directories["/Users/carol"] = {"Desktop"};
    EXPECT_EQ(probe(), granted);
    const std::vector<std::string> tail(files.queries.begin() + 4, files.queries.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"list /Users", "readable /Users/alice", "list /Users/alice",
                                              "readable /Users/carol", "list /Users/carol"}));
}

TEST_F(FullDiskAccessProbe, SharedOwnAndHiddenFoldersAreNeverProbed) {
    // All of them would count if probed.
    files.directories["/Users"] = {"Shared", "tester", ".hidden", ""};
    for (const auto* folder : {"/Users/Shared", "/Users/tester", "/Users/.hidden", "/Users/"}) {
        files.readable.insert(folder);
        files.directories[folder] = {"x"};
    }
    EXPECT_EQ(probe(), notGranted);
    for (const auto& query : files.queries) {
        EXPECT_EQ(query.rfind("readable /Users/", 0), std::string::npos) << query;
    }
}

TEST_F(FullDiskAccessProbe, ProtectedUserFolderNeedsToExistAndList) {
    // Mail exists but cannot be listed; Safari's databases can.
    files.existing.insert(kMail);
    files.directories[kSafari] = {"Databases.db"};
    EXPECT_EQ(probe(), granted);
    const std::vector<std::string> tail(files.queries.end() - 4, files.queries.end());
    EXPECT_EQ(tail, (std::vector<std::string>{std::string("exists ") + kMail, std::string("list ") + kMail,
                                              std::string("exists ") + kSafari, std::string("list ") + kSafari}));
}

TEST_F(FullDiskAccessProbe, UserFoldersAreBuiltFromTheLoginName) {
    files.user = "dana";
    files.currentDirectory = "/somewhere/else";
    files.directories["/Users/dana/Library/Messages"] = {"chat.db"};
    EXPECT_EQ(probe(), granted);
    EXPECT_EQ(files.queries.back(), "list /Users/dana/Library/Messages");
}

TEST_F(FullDiskAccessProbe, AFailedUsersListingIsNotAnError) {
    files.directories[kSharedFileList] = {"list.sfl"};
    EXPECT_EQ(probe(), granted);
    EXPECT_EQ(files.queries[4], "list /Users");
    EXPECT_EQ(files.queries[5], std::string("exists ") + kMail);
}
