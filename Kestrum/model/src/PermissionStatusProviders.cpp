#include "kestrum/PermissionStatusProviders.hpp"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "kestrum/ports/Platform.hpp"

namespace kestrum {
namespace {

PermissionAuthorizationState grantedIf(bool condition) {
    return condition ? PermissionAuthorizationState::granted : PermissionAuthorizationState::notGranted;
}

// The port enum may carry numbers the platform added later; those map to no known value.
std::optional<PermissionAuthorizationState> knownMicrophoneState(AudioCaptureAuthorization authorization) {
    switch (authorization) {
        case AudioCaptureAuthorization::authorized:
            return PermissionAuthorizationState::granted;
        case AudioCaptureAuthorization::notDetermined:
        case AudioCaptureAuthorization::restricted:
        case AudioCaptureAuthorization::denied:
            return PermissionAuthorizationState::notGranted;
    }
    return std::nullopt;
}

// Locations only a process with full disk access may read, tried first and in this order.
constexpr std::string_view kRootHome = "/var/root";
constexpr std::array<std::string_view, 3> kProtectedFiles{
    "/private/etc/sudoers",
    "/Library/Application Support/com.apple.TCC/TCC.db",
    "/private/var/db/SystemPolicy",
};
constexpr std::string_view kUsersFolder = "/Users";
constexpr std::string_view kSharedUserFolder = "Shared";
// Protected folders inside the current user's folder, built from "/Users" and the login
// name rather than from the actual home directory.
constexpr std::array<std::string_view, 4> kProtectedUserFolders{
    "/Library/Mail",
    "/Library/Safari/Databases",
    "/Library/Messages",
    "/Library/Application Support/com.apple.sharedfilelist",
};

bool probeFullDiskAccess(FileSystem& files) {
    if (files.isReadableFile(kRootHome)) return true;
    for (const auto path : kProtectedFiles) {
        if (files.isReadableFile(path)) return true;
    }

    const std::string userName = files.userName();
    const std::string usersPrefix = std::string(kUsersFolder) + "/";
    // Another user's folder can be read and listed only with full disk access.
    if (const auto names = files.contentsOfDirectory(kUsersFolder)) {
        for (const auto& name : *names) {
            if (name == userName || name == kSharedUserFolder || name.empty() || name.front() == '.') continue;
            const std::string folder = usersPrefix + name;
            if (files.isReadableFile(folder) && files.contentsOfDirectory(folder)) return true;
        }
    }

    for (const auto suffix : kProtectedUserFolders) {
        const std::string folder = usersPrefix + userName + std::string(suffix);
        if (files.fileExists(folder) && files.contentsOfDirectory(folder)) return true;
    }
    return false;
}

}  // namespace

PermissionStatusCapability AccessibilityPermissionStatusProvider::capability() const {
    return PermissionStatusCapability::preflightSupported;
}

PermissionAuthorizationState AccessibilityPermissionStatusProvider::authorizationState() const {
    const auto queries = platform().permissionQueries;
    return grantedIf(queries && queries->isAccessibilityTrusted());
}

PermissionStatusCapability FullDiskAccessPermissionStatusProvider::capability() const {
    return PermissionStatusCapability::preflightSupported;
}

PermissionAuthorizationState FullDiskAccessPermissionStatusProvider::authorizationState() const {
    const auto files = platform().fileSystem;
    return grantedIf(files && probeFullDiskAccess(*files));
}

PermissionStatusCapability MicrophonePermissionStatusProvider::capability() const {
    return PermissionStatusCapability::preflightSupported;
}

PermissionAuthorizationState MicrophonePermissionStatusProvider::authorizationState() const {
    const auto queries = platform().permissionQueries;
    if (!queries) return PermissionAuthorizationState::unknown;
    return knownMicrophoneState(queries->audioCaptureAuthorization()).value_or(PermissionAuthorizationState::unknown);
}

void MicrophonePermissionStatusProvider::requestAuthorization(
    std::function<void(PermissionAuthorizationState)> completion) const {
    if (!completion) return;
    const auto queries = platform().permissionQueries;
    if (!queries) {
        completion(PermissionAuthorizationState::unknown);
        return;
    }
    const AudioCaptureAuthorization authorization = queries->audioCaptureAuthorization();
    if (authorization != AudioCaptureAuthorization::notDetermined) {
        completion(knownMicrophoneState(authorization).value_or(PermissionAuthorizationState::unknown));
        return;
    }
    // The answer arrives on the platform's thread and is passed on there.
    queries->requestAudioCapture(
        [completion = std::move(completion)](bool allowed) { completion(grantedIf(allowed)); });
}

PermissionStatusCapability UnsupportedPermissionStatusProvider::capability() const {
    return PermissionStatusCapability::unsupported;
}

PermissionAuthorizationState UnsupportedPermissionStatusProvider::authorizationState() const {
    return PermissionAuthorizationState::unknown;
}

}  // namespace kestrum
