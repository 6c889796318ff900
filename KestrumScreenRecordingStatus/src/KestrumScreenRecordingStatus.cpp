#include "kestrum/KestrumScreenRecordingStatus.hpp"

#include "kestrum/KestrumPane.hpp"
#include "kestrum/PermissionStatusRegistry.hpp"
#include "kestrum/ports/Platform.hpp"

namespace kestrum {

PermissionStatusCapability ScreenRecordingPermissionStatusProvider::capability() const {
    return PermissionStatusCapability::preflightSupported;
}

PermissionAuthorizationState ScreenRecordingPermissionStatusProvider::authorizationState() const {
    const auto queries = platform().permissionQueries;
    return queries && queries->screenCapturePreflight() ? PermissionAuthorizationState::granted
                                                        : PermissionAuthorizationState::notGranted;
}

void KestrumScreenRecordingStatus::registerProvider() {
    PermissionStatusRegistry::registerProvider(ScreenRecordingPermissionStatusProvider{}, KestrumPane::screenRecording);
}

}  // namespace kestrum
