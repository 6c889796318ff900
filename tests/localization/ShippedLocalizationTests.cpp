// The string tables that ship in the resource bundle, read the way the library reads them:
// ICU text services and the built bundle, placed beside the (fake) executable.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "kestrum/InlineMarkdown.hpp"
#include "kestrum/KestrumLocalizer.hpp"
#include "kestrum/KestrumPanelView.hpp"
#include "kestrum/ResourceBundle.hpp"
#include "kestrum/fakes/FakePlatform.hpp"
#include "kestrum/fakes/FakeResourceBundle.hpp"
#include "kestrum/linux/IcuTextServices.hpp"

namespace kestrum {
namespace {

const std::vector<std::string> kAllKeys{
    "kestrum.pane.app_management", "kestrum.pane.accessibility",    "kestrum.pane.bluetooth",
    "kestrum.pane.developer_tools", "kestrum.pane.full_disk_access", "kestrum.pane.input_monitoring",
    "kestrum.pane.media_apple_music", "kestrum.pane.microphone",    "kestrum.pane.screen_recording",
    "kestrum.pane.permission",      "kestrum.app.this_app",         "kestrum.panel.title",
    "kestrum.drag.label",           "kestrum.button.granted",       "kestrum.button.grant",
    "kestrum.button.open",          "kestrum.button.checking"};

class ShippedLocalizationTest : public ::testing::Test {
protected:
    fakes::FakePlatform fake;
    std::shared_ptr<IcuTextServices> icu = std::make_shared<IcuTextServices>(
        [this](const char* name) -> std::optional<std::string> {
            auto it = environment.find(name);
            if (it == environment.end()) return std::nullopt;
            return it->second;
        });
    std::map<std::string, std::string> environment{{"LANG", "en_US.UTF-8"}};

    void SetUp() override {
        fakes::mirrorDirectory(*fake.fileSystem, std::string(resourceBundleBuildPath()),
                               fakes::besideMainBundle(*fake.fileSystem));
        Platform ports = platform();
        ports.textServices = icu;
        installPlatform(ports);
    }

    ResourceBundle bundle() {
        auto module = resourceBundleModule();
        EXPECT_TRUE(module);
        return *module;
    }
};

TEST_F(ShippedLocalizationTest, ShipsTheExpectedLocalizations) {
    const auto shipped = bundle().localizations();
    for (const char* id : {"de", "en", "es", "fr", "it", "ja", "ko", "pt-BR", "zh-Hans", "zh-Hant"}) {
        EXPECT_NE(std::find(shipped.begin(), shipped.end(), id), shipped.end()) << id;
    }
}

TEST_F(ShippedLocalizationTest, EveryTableIsCompleteAndItsTitleStylesBothNames) {
    for (const auto& id : bundle().localizations()) {
        SCOPED_TRACE(id);
        const auto directory = bundle().pathForResource(id, "lproj");
        ASSERT_TRUE(directory);
        const auto text = fake.fileSystem->readFile(*directory + "/Localizable.strings");
        ASSERT_TRUE(text);
        const auto parsed = StringsTable::parse(*text);
        ASSERT_FALSE(parsed.error) << parsed.error->line << ": " << parsed.error->message;
        for (const auto& key : kAllKeys) {
            const auto value = parsed.table->lookup(key);
            ASSERT_TRUE(value) << key;
            EXPECT_FALSE(value->empty()) << key;
        }
        EXPECT_EQ(parsed.table->entries().size(), kAllKeys.size());

        // Both names come out bold, exactly as written and once, whatever the language's word
        // order and whatever Markdown the names hold.
        const auto title = *parsed.table->lookup("kestrum.panel.title");
        const auto pane = *parsed.table->lookup("kestrum.pane.media_apple_music");
        for (const std::string name : {"Tazel", "Tazel (Beta)", "A*B*C", "_Tazel_", "Foo-Bar.v2", "`dev`", "[a](b)",
                                       "back\\slash", "<https://x.test>", "Q&amp;A", "Tazel!"}) {
            const auto runs = headerTitle(title, name, pane);
            std::vector<std::string> strong;
            for (const auto& run : runs) {
                if (run.strong) strong.push_back(run.text);
                EXPECT_FALSE(run.emphasis || run.code || run.link) << name << ": " << run.text;
            }
            EXPECT_EQ(strong, (std::vector<std::string>{name, pane})) << name;
            EXPECT_EQ(plainText(runs).find("**"), std::string::npos) << name;
        }
    }
}

TEST_F(ShippedLocalizationTest, TitlesStyleTheNamesAndNothingElse) {
    const auto title = [](const char* language, const std::string& name) {
        const std::string pane = localizedTitle(KestrumPane::bluetooth, language);
        std::string shown;
        for (const auto& run : headerTitle(KestrumLocalizer::string(LocalizationKey::panelTitle,
                                                                    EnglishText::panelTitle, language),
                                           name, pane)) {
            shown += run.strong ? "<s>" + run.text + "</s>" : run.text;
        }
        return shown;
    };
    for (const std::string name : {"Tazel (Beta)", "A*B*C"}) {
        const std::string s = "<s>" + name + "</s>";
        EXPECT_EQ(title("en", name), "Drag " + s + " to the list above to allow <s>Bluetooth</s>.");
        EXPECT_EQ(title("de", name), "Ziehe " + s + " in die Liste oben, um <s>Bluetooth</s> zu erlauben.");
        EXPECT_EQ(title("ja", name), s + "を上のリストにドラッグして、<s>Bluetooth</s>を許可してください。");
        EXPECT_EQ(title("zh-Hans", name), "将" + s + "拖到上方列表中以允许<s>蓝牙</s>。");
        EXPECT_EQ(title("zh-Hant", name), "將 " + s + " 拖移到上方的列表以允許 <s>藍牙</s>。");
    }
}

TEST_F(ShippedLocalizationTest, PreferenceListsUseLikelyScripts) {
    using V = std::vector<std::string>;
    EXPECT_EQ(KestrumLocalizer::localizationPreferences("zh_TW"), (V{"zh-TW", "zh-Hant", "zh"}));
    EXPECT_EQ(KestrumLocalizer::localizationPreferences("zh-Hant-HK"), (V{"zh-Hant-HK", "zh-Hant", "zh"}));
    EXPECT_EQ(KestrumLocalizer::localizationPreferences("zh"), (V{"zh", "zh-Hans"}));
    EXPECT_EQ(KestrumLocalizer::localizationPreferences("en"), (V{"en", "en-Latn"}));
    EXPECT_EQ(KestrumLocalizer::localizationPreferences("en_US"), KestrumLocalizer::localizationPreferences("en-US"));
    EXPECT_EQ(KestrumLocalizer::localizationPreferences("en_US"), (V{"en-US", "en-Latn", "en"}));
    EXPECT_EQ(KestrumLocalizer::localizationPreferences("sr"), (V{"sr", "sr-Cyrl"}));
}

TEST_F(ShippedLocalizationTest, IdentifiersFindTheirLanguage) {
    const std::map<std::string, std::string> accessibility{
        {"de", "Bedienungshilfen"}, {"de_AT", "Bedienungshilfen"}, {"fr-CA", "Accessibilité"},
        {"es_MX", "Accesibilidad"},  {"it", "Accessibilità"},      {"ja_JP", "アクセシビリティ"},
        {"ko-KR", "손쉬운 사용"},    {"pt", "Acessibilidade"},     {"pt_BR", "Acessibilidade"},
        {"zh_TW", "輔助使用"},       {"zh-HK", "輔助使用"},        {"zh-Hant-HK", "輔助使用"},
        {"zh", "辅助功能"},          {"zh_CN", "辅助功能"},        {"zh-Hans-SG", "辅助功能"},
        {"en_GB", "Accessibility"},
    };
    for (const auto& [id, title] : accessibility) {
        EXPECT_EQ(localizedTitle(KestrumPane::accessibility, id), title) << id;
    }
    EXPECT_EQ(localizedTitle(KestrumPane::fullDiskAccess, "zh_TW"), "完整磁碟取用權限");
    EXPECT_EQ(localizedTitle(KestrumPane::mediaAppleMusic, std::nullopt), "Media & Apple Music");
}

TEST_F(ShippedLocalizationTest, WithoutIdentifierTheUserLanguagesDecide) {
    environment = {{"LANG", "de_DE.UTF-8"}};
    EXPECT_EQ(localizedTitle(KestrumPane::microphone, std::nullopt), "Mikrofon");
    EXPECT_EQ(localizedTitle(KestrumPane::microphone, ""), "Mikrofon");
    // An identifier that fits no localization gets English, as bundle matching answers it.
    EXPECT_EQ(localizedTitle(KestrumPane::microphone, "sv_SE"), "Microphone");
    environment = {{"LANG", "sv_SE.UTF-8"}, {"LANGUAGE", "sv:fi"}};
    EXPECT_EQ(localizedTitle(KestrumPane::microphone, std::nullopt), "Microphone");
    environment = {{"LANG", "sv_SE.UTF-8"}, {"LANGUAGE", "sv:ja"}};
    EXPECT_EQ(localizedTitle(KestrumPane::microphone, std::nullopt), "マイク");
}

TEST_F(ShippedLocalizationTest, TheFirstLanguageThatFitsWinsOnBothPaths) {
    const struct {
        std::vector<std::string> languages;
        const char* microphone;
    } rows[] = {
        {{"de-CH", "fr"}, "Mikrofon"}, {{"ja-JP", "en"}, "マイク"}, {{"zh-HK", "en"}, "麥克風"},
        {{"fr-CA", "de"}, "Micro"},    {{"pt-PT"}, "Microfone"},     {{"zh-HK"}, "麥克風"},
        {{"sr-Latn"}, "Microphone"},   {{"en-GB", "de"}, "Microphone"}, {{}, "Microphone"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.languages));
        // The host names the language; the user's own ones say nothing.
        environment = {{"LANG", "C.UTF-8"}};
        const std::optional<std::string> identifier =
            row.languages.empty() ? std::nullopt : std::optional<std::string>(row.languages.front());
        EXPECT_EQ(localizedTitle(KestrumPane::microphone, identifier), row.microphone);

        // No identifier: the user's languages as the session sets them.
        environment.clear();
        std::string list;
        for (auto language : row.languages) {
            std::replace(language.begin(), language.end(), '-', '_');
            if (environment.empty()) environment["LANG"] = language + ".UTF-8";
            list += (list.empty() ? "" : ":") + language;
        }
        if (!list.empty()) environment["LANGUAGE"] = list;
        EXPECT_EQ(localizedTitle(KestrumPane::microphone, std::nullopt), row.microphone);
    }
}

}  // namespace
}  // namespace kestrum
