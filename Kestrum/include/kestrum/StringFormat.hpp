#pragma once
// printf-style substitution of texts into a localized template: "%@" takes the next argument,
// "%1$@" / "%2$@" the argument at that position (1-based), "%%" is a literal percent sign.
// Anything else after a "%", and a placeholder without its argument, stays as written, so a
// faulty translation shows its mistake instead of losing text.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum {

// One piece of a template: literal text, or the placeholder of an argument.
struct TemplatePiece {
    std::string text;                     // the literal text; empty for a placeholder
    std::optional<std::size_t> argument;  // the 0-based argument a placeholder takes
    friend bool operator==(const TemplatePiece&, const TemplatePiece&) = default;
};

// The template as literal pieces and placeholders of the first `argumentCount` arguments,
// in order; adjacent literal text forms one piece.
std::vector<TemplatePiece> splitObjectTemplate(std::string_view format, std::size_t argumentCount);

std::string formatObjectTemplate(std::string_view format, const std::vector<std::string>& arguments);

}  // namespace kestrum
