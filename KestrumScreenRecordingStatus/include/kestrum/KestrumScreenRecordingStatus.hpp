#pragma once
// The screen-recording provider lives outside the registry's default table and joins it by
// registration.
#include "kestrum/PermissionStatusProviding.hpp"

namespace kestrum {

// Granted when the process may capture the screen; never prompts.
class ScreenRecordingPermissionStatusProvider final : public PermissionStatusProviding {
public:
    PermissionStatusCapability capability() const override;
    PermissionAuthorizationState authorizationState() const override;
};

class KestrumScreenRecordingStatus {
public:
    KestrumScreenRecordingStatus() = delete;
    // Registers a new screen-recording provider for screenRecording; repeating it is harmless.
    static void registerProvider();
};

}  // namespace kestrum
