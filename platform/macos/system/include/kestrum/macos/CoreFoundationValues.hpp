#pragma once
// CoreFoundation property-list values as the port's loose values, copied mechanically: a
// boolean stays a boolean, a number an integer or a real as CoreFoundation holds it, texts
// become UTF-8, dictionaries keyed by texts and arrays nest. Anything else (data, dates, a
// dictionary with a key that is not a text, a text that is not valid Unicode) becomes nothing,
// so that the core sees an unreadable value rather than a guess.
#include <CoreFoundation/CoreFoundation.h>

#include <optional>

#include "kestrum/ports/WindowServer.hpp"

namespace kestrum::macos {

LooseValue looseValue(CFTypeRef value);

// The window server's list as the core reads it: each entry keeps only its owner, layer,
// alpha and bounds (an entry that is not a dictionary is copied as it is). Nothing without a list.
std::optional<LooseValue> windowListValue(CFArrayRef windowList);

}  // namespace kestrum::macos
