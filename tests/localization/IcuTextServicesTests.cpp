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
    // Bytes that are not UTF-8 stay as they are, so different ones never become equal.
    EXPECT_EQ(text.canonicalForm("/a/\xFF.app"), "/a/\xFF.app");
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

TEST(IcuTextServicesTest, MatchingPutsExactNamesFirstInPreferenceOrder) {
    IcuTextServices text = withEnvironment({});
    const std::vector<std::string> available{"de", "en", "pt-BR", "zh-Hans", "zh-Hant"};
    EXPECT_EQ(text.preferredLocalizations(available, {"zh-TW", "zh-Hant", "zh"}),
              (std::vector<std::string>{"zh-Hant", "zh-Hans"}));
    EXPECT_EQ(text.preferredLocalizations(available, {"zh-Hant-HK", "zh-Hant", "zh"}).front(), "zh-Hant");
    EXPECT_EQ(text.preferredLocalizations(available, {"zh-CN", "zh-Hans", "zh"}).front(), "zh-Hans");
    EXPECT_EQ(text.preferredLocalizations(available, {"pt", "pt-Latn"}), (std::vector<std::string>{"pt-BR"}));
    EXPECT_EQ(text.preferredLocalizations(available, {"de-AT", "de-Latn", "de"}), (std::vector<std::string>{"de"}));
    EXPECT_EQ(text.preferredLocalizations(available, {"en_GB", "en-Latn", "en"}), (std::vector<std::string>{"en"}));
    // An earlier fuzzy preference never puts a later exact name before an earlier one.
    EXPECT_EQ(text.preferredLocalizations({"en", "de"}, {"de-CH", "en", "de"}), (std::vector<std::string>{"en", "de"}));
    // Letter case and separator do not matter for names.
    EXPECT_EQ(text.preferredLocalizations({"pt_BR"}, {"PT-br"}), (std::vector<std::string>{"pt_BR"}));
}

TEST(IcuTextServicesTest, MatchingNothingGivesNothing) {
    IcuTextServices text = withEnvironment({});
    EXPECT_TRUE(text.preferredLocalizations({"de", "en"}, {"sv", "sv-Latn"}).empty());
    EXPECT_TRUE(text.preferredLocalizations({}, {"en"}).empty());
    EXPECT_TRUE(text.preferredLocalizations({"en"}, {}).empty());
    EXPECT_TRUE(text.preferredLocalizations({"Base", "???"}, {"fr"}).empty());
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
