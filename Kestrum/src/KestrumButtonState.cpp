#include "kestrum/KestrumButtonState.hpp"

namespace kestrum {

KestrumButtonState KestrumButtonState::make(PermissionAuthorizationState state) {
    switch (state) {
        case PermissionAuthorizationState::granted: return {"kestrum.button.granted", "checkmark.seal.fill", true};
        case PermissionAuthorizationState::notGranted:
            return {"kestrum.button.grant", "arrow.right.circle.fill", false};
        case PermissionAuthorizationState::unknown: return {"kestrum.button.open", "arrow.right.circle.fill", false};
        case PermissionAuthorizationState::checking: return {"kestrum.button.checking", "clock", false};
    }
    return {"kestrum.button.open", "arrow.right.circle.fill", false};
}

}  // namespace kestrum
