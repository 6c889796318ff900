#pragma once
// The HTML5 named character references ("&eacute;"), which inline Markdown decodes.
#include <cstddef>
#include <optional>
#include <string_view>

namespace kestrum {

// The text (one or two code points, UTF-8) that the reference "&<name>;" stands for; nothing
// when `name` is not one of the standard's names (the match is case-sensitive).
std::optional<std::string_view> namedCharacterReference(std::string_view name);

// The length of the longest name, so that a reader can stop looking for the ";" early.
inline constexpr std::size_t kLongestCharacterReferenceName = 31;

}  // namespace kestrum
