#include "kestrum/linux/IcuTextServices.hpp"

#include <gtest/gtest.h>

#include <map>

namespace kestrum {
namespace {

IcuTextServices withEnvironment(std::map<std::string, std::string> variables) {
    return IcuTextServices([variables = std::move(variables)](const char* name) -> std::optional<std::string> {
        auto it = variables.find(name);
        if (it == variables.end()) return std::nullopt;
        return it->second;
    });
}

TEST(IcuTextServicesTest, CanonicalFormComposes) {
    IcuTextServices text = withEnvironment({});
    EXPECT_EQ(text.canonicalForm("/Applications/Caf\x65\xCC\x81.app"), "/Applications/Caf\xC3\xA9.app");
    EXPECT_EQ(text.canonicalForm("/Applications/Caf\xC3\xA9.app"), "/Applications/Caf\xC3\xA9.app");
    EXPECT_EQ(text.canonicalForm("\xEA\xB0\x80"), "\xEA\xB0\x80");  // Hangul stays composed
    EXPECT_EQ(text.canonicalForm(""), "");
    // Bytes that are not UTF-8 stay as they are, so different ones never become equal: a stray
    // byte, a surrogate, an overlong form, a code point beyond U+10FFFF, a sequence cut short.
    for (const std::string ill : {"/a/\xFF.app", "e\xED\xA0\x80\xCC\x81", "e\xC0\xAF\xCC\x81", "e\xF4\x90\x80\x80\xCC\x81",
                                  "e\xCC\x81\xE2\x82"}) {
        EXPECT_EQ(text.canonicalForm(ill), ill) << testing::PrintToString(ill);
    }
    EXPECT_NE(text.canonicalForm("/a/\xFF.app"), text.canonicalForm("/a/\xFE.app"));
}

TEST(IcuTextServicesTest, LocalePartsAndLikelyScripts) {
    IcuTextServices text = withEnvironment({});
    EXPECT_EQ(text.localeParts("zh-Hant-HK").language, "zh");
    EXPECT_EQ(text.localeParts("zh-Hant-HK").script, "Hant");
    EXPECT_EQ(text.localeParts("en-US").script, "");
    EXPECT_EQ(text.localeParts("").language, "");
    EXPECT_EQ(text.likelyScript("zh-TW"), "Hant");
    EXPECT_EQ(text.likelyScript("zh"), "Hans");
    EXPECT_EQ(text.likelyScript("en"), "Latn");
    EXPECT_EQ(text.likelyScript("sr"), "Cyrl");
    EXPECT_EQ(text.likelyScript("ja"), "Jpan");
    EXPECT_EQ(text.likelyScript(""), std::nullopt);
    EXPECT_EQ(text.likelyScript("!!"), std::nullopt);
}

TEST(IcuTextServicesTest, EachPreferenceIsServedBeforeTheNext) {
    IcuTextServices text = withEnvironment({});
    using V = std::vector<std::string>;
    const V shipped{"de", "en", "es", "fr", "it", "ja", "ko", "pt-BR", "zh-Hans", "zh-Hant"};
    const struct {
        V available;
        V preferences;
        V chosen;
    } rows[] = {
        // A first language that fits only closely still beats a later exact one.
        {shipped, {"de-CH", "fr"}, {"de", "fr"}},
        {shipped, {"ja-JP", "en"}, {"ja", "en"}},
        {shipped, {"zh-HK", "en"}, {"zh-Hant", "en"}},
        {shipped, {"fr-CA", "de"}, {"fr", "de"}},
        {{"en", "de"}, {"de-CH", "en", "de"}, {"de", "en"}},
        // Script and region through likely subtags.
        {shipped, {"zh-TW", "zh-Hant", "zh"}, {"zh-Hant", "zh-Hans"}},
        {shipped, {"zh-Hant-HK", "zh-Hant", "zh"}, {"zh-Hant", "zh-Hans"}},
        {shipped, {"zh-CN", "zh-Hans", "zh"}, {"zh-Hans"}},
        {shipped, {"pt-PT"}, {"pt-BR"}},
        {shipped, {"pt", "pt-Latn"}, {"pt-BR"}},
        {shipped, {"en_GB", "de"}, {"en", "de"}},
        // Letter case and separator do not matter for names.
        {{"pt_BR"}, {"PT-br"}, {"pt_BR"}},
        // Nothing fits: English, when there is one.
        {shipped, {"sr-Latn"}, {"en"}},
        {shipped, {"sv", "sv-Latn"}, {"en"}},
        {shipped, {}, {"en"}},
        {{"de", "en-GB"}, {"fi"}, {"en-GB"}},
        {{"de", "fr"}, {"sv"}, {}},
        {{}, {"en"}, {}},
        {{"Base", "???"}, {"fr"}, {}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(text.preferredLocalizations(row.available, row.preferences), row.chosen)
            << testing::PrintToString(row.preferences) << " from " << testing::PrintToString(row.available);
    }
}

TEST(IcuTextServicesTest, UserLanguagesFollowTheDesktopEnvironment) {
    EXPECT_EQ(withEnvironment({{"LANG", "de_DE.UTF-8"}}).userPreferredLanguages(), (std::vector<std::string>{"de-DE"}));
    EXPECT_EQ(withEnvironment({{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", "fr_CA.UTF-8"}}).userPreferredLanguages(),
              (std::vector<std::string>{"fr-CA"}));
    EXPECT_EQ(withEnvironment({{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", "fr_CA"}, {"LC_ALL", "ja_JP.eucJP"}})
                  .userPreferredLanguages(),
              (std::vector<std::string>{"ja-JP"}));
    EXPECT_EQ(withEnvironment({{"LANG", "zh_TW.UTF-8"}, {"LANGUAGE", "zh_TW:zh_CN::en@quot"}}).userPreferredLanguages(),
              (std::vector<std::string>{"zh-TW", "zh-CN", "en"}));
    // LANGUAGE does not count in the C locale; nothing set means English.
    EXPECT_EQ(withEnvironment({{"LANG", "C.UTF-8"}, {"LANGUAGE", "de"}}).userPreferredLanguages(),
              (std::vector<std::string>{"en"}));
    EXPECT_EQ(withEnvironment({}).userPreferredLanguages(), (std::vector<std::string>{"en"}));
    EXPECT_EQ(withEnvironment({{"LC_ALL", ""}, {"LANG", "it_IT"}}).userPreferredLanguages(),
              (std::vector<std::string>{"it-IT"}));
}

TEST(IcuTextServicesTest, PosixLocaleNames) {
    EXPECT_EQ(languageTagFromPosixLocale("sr_RS.UTF-8@latin"), "sr-RS");
    EXPECT_EQ(languageTagFromPosixLocale("pt_BR"), "pt-BR");
    EXPECT_EQ(languageTagFromPosixLocale("POSIX"), std::nullopt);
    EXPECT_EQ(languageTagFromPosixLocale(""), std::nullopt);
    EXPECT_EQ(languageTagFromPosixLocale("../../etc"), std::nullopt);
}

}  // namespace
}  // namespace kestrum
