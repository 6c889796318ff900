#include "kestrum/linux/IcuTextServices.hpp"

#include <unicode/localematcher.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

namespace kestrum {
namespace {

// The text in UTF-16; nothing when it is not well-formed UTF-8 (ICU refuses it while converting).
std::optional<icu::UnicodeString> fromWellFormedUTF8(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) return std::nullopt;
    const auto size = static_cast<int32_t>(text.size());
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, text.data(), size, &status);
    if (U_FAILURE(status) && status != U_BUFFER_OVERFLOW_ERROR) return std::nullopt;
    icu::UnicodeString converted;
    status = U_ZERO_ERROR;
    u_strFromUTF8(converted.getBuffer(length), length, &length, text.data(), size, &status);
    converted.releaseBuffer(U_SUCCESS(status) ? length : 0);
    if (U_FAILURE(status)) return std::nullopt;
    return converted;
}

// The identifier read as a BCP 47 tag, else as an ICU locale name; bogus when neither works.
icu::Locale parseLocale(std::string_view identifier) {
    if (identifier.empty() || identifier.find('\0') != std::string_view::npos) return icu::Locale::getRoot();
    UErrorCode status = U_ZERO_ERROR;
    std::string tag(identifier);
    std::replace(tag.begin(), tag.end(), '_', '-');
    icu::Locale locale = icu::Locale::forLanguageTag(tag, status);
    if (U_SUCCESS(status) && !locale.isBogus()) return locale;
    locale = icu::Locale::createCanonical(std::string(identifier).c_str());
    return locale;
}

// Letter case and the separator do not make two localization names different.
std::string comparableName(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (c == '_') c = '-';
        else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// What the bundle matching of the platforms answers when no preference fits.
constexpr std::string_view kFallbackLanguage = "en";

std::optional<std::string> readEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (!value) return std::nullopt;
    return std::string(value);
}

}  // namespace

IcuTextServices::IcuTextServices() : IcuTextServices(readEnvironment) {}
IcuTextServices::IcuTextServices(EnvironmentReader environment) : environment_(std::move(environment)) {}

std::string IcuTextServices::canonicalForm(std::string_view text) {
    // ASCII is its own canonical form; the usual path needs no normalization data loaded.
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return std::string(text);
    }
    const auto source = fromWellFormedUTF8(text);
    if (!source) return std::string(text);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status) || !nfc) return std::string(text);
    const icu::UnicodeString normalized = nfc->normalize(*source, status);
    if (U_FAILURE(status)) return std::string(text);
    std::string out;
    normalized.toUTF8String(out);
    return out;
}

LocaleParts IcuTextServices::localeParts(std::string_view identifier) {
    const icu::Locale locale = parseLocale(identifier);
    if (locale.isBogus()) return {};
    return LocaleParts{locale.getLanguage(), locale.getScript()};
}

std::optional<std::string> IcuTextServices::likelyScript(std::string_view identifier) {
    icu::Locale locale = parseLocale(identifier);
    if (locale.isBogus() || std::string_view(locale.getLanguage()).empty()) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    locale.addLikelySubtags(status);
    if (U_FAILURE(status)) return std::nullopt;
    const std::string script = locale.getScript();
    if (script.empty()) return std::nullopt;
    return script;
}

std::vector<std::string> IcuTextServices::preferredLocalizations(const std::vector<std::string>& available,
                                                                 const std::vector<std::string>& preferences) {
    // The matcher knows only the names it can read as locales. It is made only when a
    // preference names no localization exactly: making it loads ICU's likely subtags and
    // language distances, which the usual exact match does not need.
    std::vector<std::size_t> supportedIndex;
    std::optional<icu::LocaleMatcher> matcher;
    bool matcherMade = false;
    auto closestMatcher = [&]() -> icu::LocaleMatcher* {
        if (!std::exchange(matcherMade, true)) {
            std::vector<icu::Locale> supported;
            for (std::size_t i = 0; i < available.size(); ++i) {
                const icu::Locale locale = parseLocale(available[i]);
                if (locale.isBogus() || std::string_view(locale.getLanguage()).empty()) continue;
                supported.push_back(locale);
                supportedIndex.push_back(i);
            }
            if (!supported.empty()) {
                UErrorCode status = U_ZERO_ERROR;
                icu::LocaleMatcher::Builder builder;
                builder.setSupportedLocales(supported.begin(), supported.end());
                builder.setNoDefaultLocale();
                icu::LocaleMatcher built = builder.build(status);
                if (U_SUCCESS(status)) matcher.emplace(std::move(built));
            }
        }
        return matcher ? &*matcher : nullptr;
    };

    // The localization a preference names (letter case and separator aside), else the closest
    // one by language, script and region after adding likely subtags.
    auto choose = [&](const std::string& preference) -> const std::string* {
        const std::string wanted = comparableName(preference);
        for (const auto& name : available) {
            if (comparableName(name) == wanted) return &name;
        }
        icu::LocaleMatcher* const closest = closestMatcher();
        if (!closest) return nullptr;
        const icu::Locale desired = parseLocale(preference);
        if (desired.isBogus() || std::string_view(desired.getLanguage()).empty()) return nullptr;
        UErrorCode status = U_ZERO_ERROR;
        const icu::LocaleMatcher::Result match = closest->getBestMatchResult(desired, status);
        const int32_t index = match.getSupportedIndex();
        if (U_FAILURE(status) || index < 0 || static_cast<std::size_t>(index) >= supportedIndex.size()) return nullptr;
        return &available[supportedIndex[static_cast<std::size_t>(index)]];
    };

    // Each preference is served before the next one is looked at, so the user's first language
    // wins even when it fits only closely and a later one is named exactly.
    std::vector<std::string> result;
    for (const auto& preference : preferences) {
        const std::string* chosen = choose(preference);
        if (chosen && std::find(result.begin(), result.end(), *chosen) == result.end()) result.push_back(*chosen);
    }
    if (result.empty()) {
        if (const std::string* english = choose(std::string(kFallbackLanguage))) result.push_back(*english);
    }
    return result;
}

std::optional<std::string> languageTagFromPosixLocale(std::string_view name) {
    const std::size_t end = name.find_first_of(".@");
    const std::string base(name.substr(0, end));
    if (base.empty() || base == "C" || base == "POSIX") return std::nullopt;
    for (const char c : base) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                             c == '-';
        if (!allowed) return std::nullopt;
    }
    const icu::Locale locale = parseLocale(base);
    if (locale.isBogus() || std::string_view(locale.getLanguage()).empty()) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    std::string tag = locale.toLanguageTag<std::string>(status);
    if (U_FAILURE(status) || tag.empty() || tag == "und") return std::nullopt;
    return tag;
}

std::vector<std::string> IcuTextServices::userPreferredLanguages() {
    auto nonEmpty = [&](const char* name) -> std::optional<std::string> {
        auto value = environment_ ? environment_(name) : std::nullopt;
        if (value && value->empty()) return std::nullopt;
        return value;
    };
    // The locale that decides messages, as the C library chooses it.
    std::optional<std::string> messagesLocale = nonEmpty("LC_ALL");
    if (!messagesLocale) messagesLocale = nonEmpty("LC_MESSAGES");
    if (!messagesLocale) messagesLocale = nonEmpty("LANG");

    std::vector<std::string> languages;
    auto add = [&](const std::optional<std::string>& tag) {
        if (tag && std::find(languages.begin(), languages.end(), *tag) == languages.end()) languages.push_back(*tag);
    };
    const std::optional<std::string> localeTag =
        messagesLocale ? languageTagFromPosixLocale(*messagesLocale) : std::nullopt;
    // LANGUAGE lists the user's languages in order, but only counts when a locale is set
    // (in the C locale, messages stay untranslated).
    if (localeTag) {
        if (const auto list = nonEmpty("LANGUAGE")) {
            std::size_t start = 0;
            while (start <= list->size()) {
                const std::size_t colon = list->find(':', start);
                const std::string entry =
                    list->substr(start, colon == std::string::npos ? std::string::npos : colon - start);
                add(languageTagFromPosixLocale(entry));
                if (colon == std::string::npos) break;
                start = colon + 1;
            }
        }
    }
    add(localeTag);
    if (languages.empty()) languages.push_back("en");
    return languages;
}

}  // namespace kestrum
