#pragma once
// The TextServices port on Linux, over ICU: canonical equivalence (NFC), locale parts, likely
// scripts from CLDR, localization matching with ICU's locale matcher, and the user's languages
// as a Linux desktop reads them from LANGUAGE, LC_ALL, LC_MESSAGES and LANG.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrum/ports/TextServices.hpp"

namespace kestrum {

class IcuTextServices : public TextServices {
public:
    // Reads one environment variable; nothing when it is unset.
    using EnvironmentReader = std::function<std::optional<std::string>(const char* name)>;

    // Reads the process's environment.
    IcuTextServices();
    explicit IcuTextServices(EnvironmentReader environment);

    // NFC; text that is not valid UTF-8 comes back unchanged (so distinct byte strings stay distinct).
    std::string canonicalForm(std::string_view text) override;
    LocaleParts localeParts(std::string_view identifier) override;
    std::optional<std::string> likelyScript(std::string_view identifier) override;
    // For each preference in order: the localization it names (letter case and "_"/"-" aside),
    // else the closest one by language, script and region (CLDR likely subtags and language
    // distances), before the next preference is looked at. When no preference fits, English
    // (as the platforms' bundle matching falls back to it); empty only when there is none.
    std::vector<std::string> preferredLocalizations(const std::vector<std::string>& available,
                                                    const std::vector<std::string>& preferences) override;
    // BCP 47 tags, best first; English when nothing is set or the locale is C/POSIX.
    std::vector<std::string> userPreferredLanguages() override;

private:
    EnvironmentReader environment_;
};

// A POSIX locale name ("de_DE.UTF-8@euro") as a BCP 47 tag ("de-DE"); nothing for C/POSIX or
// an unreadable name.
std::optional<std::string> languageTagFromPosixLocale(std::string_view name);

}  // namespace kestrum
