#pragma once
// How an action button shows a permission's authorization state: the localization key of its
// title, the symbol image beside it and whether the permission is granted. The title key is
// looked up by whoever displays the button.
#include <string>

#include "kestrum/PermissionAuthorizationState.hpp"

namespace kestrum {

struct KestrumButtonState {
    std::string titleKey;
    std::string systemImage;
    bool isGranted = false;

    static KestrumButtonState make(PermissionAuthorizationState state);

    friend bool operator==(const KestrumButtonState&, const KestrumButtonState&) = default;
};

}  // namespace kestrum
