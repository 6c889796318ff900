#pragma once
// The one JSON line every invocation writes.
#include <optional>
#include <string>
#include <string_view>

#include "kestrum/KestrumPane.hpp"
#include "kestrum/PermissionAuthorizationState.hpp"

namespace kestrum {

struct HelperOutput {
    bool success = false;
    std::string kind;                   // a pane's raw value, or "unknown"
    std::optional<std::string> status;  // only when a state was read
    std::optional<std::string> error;   // only on failure
    friend bool operator==(const HelperOutput&, const HelperOutput&) = default;
};

// The line of status (and wait) reporting a state of a pane.
HelperOutput statusOutput(KestrumPane pane, PermissionAuthorizationState state);

// Written instead of the line when the line cannot be encoded.
inline constexpr std::string_view kHelperOutputFallbackLine =
    R"({"success":false,"kind":"unknown","error":"Failed to encode output"})";
static_assert(kHelperOutputFallbackLine.size() == 68);

// A JSON string literal (quotes included). Ill-formed UTF-8 is mended first.
std::string jsonString(std::string_view text);

// The compact object, members in the order success, kind, status, error; absent members
// are left out. No line feed.
std::string encodeHelperOutput(const HelperOutput& output);

// Writes the line and then, separately, one line feed to standard output through the
// installed Output port, giving up when a reader has not taken both within `timeLimit` seconds
// (the line feed is left out when the line could not be written whole).
void writeOutput(const HelperOutput& output, double timeLimit);

}  // namespace kestrum
