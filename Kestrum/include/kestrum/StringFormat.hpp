#pragma once
// printf-style substitution of texts into a localized template: "%@" takes the next argument,
// "%1$@" / "%2$@" the argument at that position (1-based), "%%" is a literal percent sign.
// Anything else after a "%", and a placeholder without its argument, stays as written, so a
// faulty translation shows its mistake instead of losing text.
#include <string>
#include <string_view>
#include <vector>

namespace kestrum {

std::string formatObjectTemplate(std::string_view format, const std::vector<std::string>& arguments);

}  // namespace kestrum
