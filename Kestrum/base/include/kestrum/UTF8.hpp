#pragma once
// Checking, mending and writing UTF-8. Arguments, file names and string tables are raw bytes;
// what the system writes or shows must be valid UTF-8.
#include <cstddef>
#include <optional>
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

// Where the first ill-formed sequence begins; nothing when all of it is well-formed.
std::optional<std::size_t> firstInvalidUTF8(std::string_view bytes);

// Appends the UTF-8 form of a code point (which the caller has checked is a scalar value).
void appendUTF8(std::string& out, char32_t codePoint);

}  // namespace kestrum
