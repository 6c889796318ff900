// Unicode and locale services from Foundation: composed normal form, locale components, the
// default script of a language, localization matching as bundles do it, the user's languages.
#import <Foundation/Foundation.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "MacPorts.hpp"

namespace kestrum::macos {
namespace {

// The text as a string, or nil when it is not valid UTF-8.
NSString* string(std::string_view text) {
    return [[NSString alloc] initWithBytes:text.data() length:text.size() encoding:NSUTF8StringEncoding];
}

std::string utf8(NSString* text) {
    const char* bytes = text.UTF8String;
    return bytes ? std::string(bytes) : std::string();
}

NSArray<NSString*>* strings(const std::vector<std::string>& texts) {
    NSMutableArray<NSString*>* result = [NSMutableArray arrayWithCapacity:texts.size()];
    for (const auto& text : texts) {
        if (NSString* converted = string(text)) [result addObject:converted];
    }
    return result;
}

std::vector<std::string> texts(NSArray<NSString*>* strings) {
    std::vector<std::string> result;
    result.reserve(strings.count);
    for (NSString* string in strings) result.push_back(utf8(string));
    return result;
}

class MacTextServices final : public TextServices {
public:
    // Text that is not valid UTF-8 comes back unchanged, so distinct byte strings stay distinct.
    std::string canonicalForm(std::string_view text) override {
        NSString* converted = string(text);
        return converted ? utf8(converted.precomposedStringWithCanonicalMapping) : std::string(text);
    }

    LocaleParts localeParts(std::string_view identifier) override {
        NSString* converted = string(identifier);
        if (!converted) return {};
        NSDictionary<NSString*, NSString*>* components = [NSLocale componentsFromLocaleIdentifier:converted];
        return LocaleParts{utf8(components[NSLocaleLanguageCode]), utf8(components[NSLocaleScriptCode])};
    }

    // The dominant script of the language's default orthography ("Zyyy" when it has none).
    std::optional<std::string> likelyScript(std::string_view identifier) override {
        NSString* language = string(identifier);
        if (!language || language.length == 0) return std::nullopt;
        NSString* script = [NSOrthography defaultOrthographyForLanguage:language].dominantScript;
        if (script.length == 0 || [script isEqualToString:@"Zyyy"]) return std::nullopt;
        return utf8(script);
    }

    std::vector<std::string> preferredLocalizations(const std::vector<std::string>& available,
                                                    const std::vector<std::string>& preferences) override {
        return texts([NSBundle preferredLocalizationsFromArray:strings(available)
                                                forPreferences:strings(preferences)]);
    }

    std::vector<std::string> userPreferredLanguages() override { return texts([NSLocale preferredLanguages]); }
};

}  // namespace

std::shared_ptr<TextServices> makeTextServices() { return std::make_shared<MacTextServices>(); }

}  // namespace kestrum::macos
