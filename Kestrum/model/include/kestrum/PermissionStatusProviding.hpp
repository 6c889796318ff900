#pragma once
// The interface of a status provider: one permission, read for the calling process.
#include "kestrum/PermissionAuthorizationState.hpp"

namespace kestrum {

class PermissionStatusProviding {
public:
    virtual ~PermissionStatusProviding() = default;
    virtual PermissionStatusCapability capability() const = 0;
    // Synchronous, never prompts, never fails; callable from any thread.
    virtual PermissionAuthorizationState authorizationState() const = 0;
};

}  // namespace kestrum
