#pragma once
// Checking and mending UTF-8. Command-line arguments are raw bytes; everything the helper
// writes must still be valid UTF-8.
#include <string>
#include <string_view>

namespace kestrum {

// True when the bytes are well-formed UTF-8: no overlong forms, no surrogates (U+D800 to
// U+DFFF), nothing above U+10FFFF, no stray or missing continuation bytes.
bool isValidUTF8(std::string_view bytes);

// The bytes with every ill-formed part replaced by U+FFFD. Each maximal subpart of an
// ill-formed sequence (the longest prefix that could still have begun a valid sequence, or a
// single byte when there is none) becomes one replacement character, as Unicode recommends;
// the byte that broke a sequence is examined again as the start of the next one.
std::string repairUTF8(std::string_view bytes);

}  // namespace kestrum
