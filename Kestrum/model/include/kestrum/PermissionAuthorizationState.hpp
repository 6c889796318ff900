#pragma once
// Whether a permission is given, and whether a provider can tell.
#include <array>
#include <string_view>
#include <utility>

#include "kestrum/RawEnum.hpp"

namespace kestrum {

enum class PermissionAuthorizationState { granted, notGranted, unknown, checking };

template <>
struct RawEnumTable<PermissionAuthorizationState> {
    static constexpr std::string_view name = "PermissionAuthorizationState";
    static constexpr std::array<std::pair<PermissionAuthorizationState, std::string_view>, 4> entries{{
        {PermissionAuthorizationState::granted, "granted"},
        {PermissionAuthorizationState::notGranted, "notGranted"},
        {PermissionAuthorizationState::unknown, "unknown"},
        {PermissionAuthorizationState::checking, "checking"},
    }};
};

// The raw value that reports a state; a value that is none of the states tells nothing and
// reads as "unknown", so no report ever carries a word outside the four.
constexpr std::string_view reportedStatus(PermissionAuthorizationState state) {
    return rawValue(caseIndex(state) ? state : PermissionAuthorizationState::unknown);
}

enum class PermissionStatusCapability { preflightSupported, unsupported };

template <>
struct RawEnumTable<PermissionStatusCapability> {
    static constexpr std::string_view name = "PermissionStatusCapability";
    static constexpr std::array<std::pair<PermissionStatusCapability, std::string_view>, 2> entries{{
        {PermissionStatusCapability::preflightSupported, "preflightSupported"},
        {PermissionStatusCapability::unsupported, "unsupported"},
    }};
};

}  // namespace kestrum
