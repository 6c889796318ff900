#pragma once
// Unicode and locale services: canonical equivalence, likely scripts, localization matching
// and the user's preferred languages.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum {

struct LocaleParts {
    std::string language;  // empty when the identifier names none
    std::string script;    // empty when the identifier names none
};

class TextServices {
public:
    virtual ~TextServices() = default;
    // A form under which canonically equivalent texts are equal (composed normal form).
    virtual std::string canonicalForm(std::string_view text) = 0;
    // The language and script an identifier (with "-" separators) names.
    virtual LocaleParts localeParts(std::string_view identifier) = 0;
    // The likely script of a language as CLDR's likely subtags give it.
    virtual std::optional<std::string> likelyScript(std::string_view identifier) = 0;
    // Which of `available` to use for `preferences`, best first; only entries of `available`.
    // Each preference is served (by its exact localization, else its closest) before the next;
    // when none fits the answer may hold a fallback localization (English), as bundle matching
    // does. The caller treats an empty answer as "nothing fits".
    virtual std::vector<std::string> preferredLocalizations(const std::vector<std::string>& available,
                                                            const std::vector<std::string>& preferences) = 0;
    virtual std::vector<std::string> userPreferredLanguages() = 0;
};

}  // namespace kestrum
