#pragma once
// The status providers of the permission model. Each is stateless and reads the platform
// ports installed at the time of the call (kestrum::platform()).
#include <functional>

#include "kestrum/PermissionStatusProviding.hpp"

namespace kestrum {

// Granted when the process is a trusted accessibility client; never prompts.
class AccessibilityPermissionStatusProvider final : public PermissionStatusProviding {
public:
    PermissionStatusCapability capability() const override;
    PermissionAuthorizationState authorizationState() const override;
};

// There is no platform query for full disk access: the state is probed by reading a
// fixed list of protected locations, in a fixed order, stopping at the first success.
class FullDiskAccessPermissionStatusProvider final : public PermissionStatusProviding {
public:
    PermissionStatusCapability capability() const override;
    PermissionAuthorizationState authorizationState() const override;
};

class MicrophonePermissionStatusProvider final : public PermissionStatusProviding {
public:
    PermissionStatusCapability capability() const override;
    PermissionAuthorizationState authorizationState() const override;

    // May show the system prompt when the user has not been asked yet. The completion runs
    // exactly once: at once on the calling thread when the answer is already known,
    // otherwise on the thread the platform answers on.
    void requestAuthorization(std::function<void(PermissionAuthorizationState)> completion) const;
};

// For panes without a provider of their own: capability unsupported, state unknown.
class UnsupportedPermissionStatusProvider final : public PermissionStatusProviding {
public:
    PermissionStatusCapability capability() const override;
    PermissionAuthorizationState authorizationState() const override;
};

}  // namespace kestrum
