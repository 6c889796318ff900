// The panel content derived from a real controller, over the fakes and the built resource bundle.
#include <gtest/gtest.h>

#include "kestrum/FloatingDropPanel.hpp"
#include "kestrum/InlineMarkdown.hpp"
#include "kestrum/KestrumButtonState.hpp"
#include "kestrum/KestrumController.hpp"
#include "kestrum/KestrumPanelView.hpp"
#include "kestrum/ResourceBundle.hpp"
#include "kestrum/fakes/FakePlatform.hpp"
#include "kestrum/fakes/FakeResourceBundle.hpp"

namespace kestrum {
namespace {

StyledRun plain(std::string text) { return StyledRun{std::move(text), false, false, false, std::nullopt}; }
StyledRun strong(std::string text) { return StyledRun{std::move(text), true, false, false, std::nullopt}; }

const URL kTazel = URL::fileURL("/Applications/Tazel.app");

class PanelContentTest : public ::testing::Test {
protected:
    fakes::FakePlatform fake;

    void SetUp() override {
        fakes::mirrorDirectory(*fake.fileSystem, std::string(resourceBundleBuildPath()),
                               fakes::besideMainBundle(*fake.fileSystem));
    }

    std::shared_ptr<KestrumController> controller(std::vector<URL> apps = {},
                                                  std::optional<std::string> locale = std::nullopt) {
        return KestrumController::create(KestrumConfiguration(std::move(apps), false, std::move(locale)));
    }

    void replaceTable(const std::string& id, const std::string& text) {
        fake.fileSystem->files[fakes::besideMainBundle(*fake.fileSystem) + "/" + id + ".lproj/Localizable.strings"] =
            text;
    }
};

TEST_F(PanelContentTest, WithoutApplicationOrPaneTheTitleUsesItsStandIns) {
    const auto content = makePanelContent(*controller(), std::nullopt);
    EXPECT_EQ(content.headerTitle, (std::vector<StyledRun>{plain("Drag "), strong("This App"),
                                                           plain(" to the list above to allow "),
                                                           strong("Permission"), plain(".")}));
    EXPECT_FALSE(content.card);
    EXPECT_TRUE(content.showsSettingsButton);
    EXPECT_EQ(content.icon, (HeaderDirectionIconPose{false, -10, 1, 1, 0.18}));
    EXPECT_EQ(content.localeIdentifier, std::nullopt);
    EXPECT_TRUE(fake.output->standardError.empty());
}

TEST_F(PanelContentTest, ApplicationAndPaneInTheControllersLanguage) {
    auto c = controller({kTazel}, "de");
    c->authorize(KestrumPane::fullDiskAccess, {}, std::nullopt);
    const auto content = makePanelContent(*c, "de");
    EXPECT_EQ(content.headerTitle,
              (std::vector<StyledRun>{plain("Ziehe "), strong("Tazel"), plain(" in die Liste oben, um "),
                                      strong("Festplattenvollzugriff"), plain(" zu erlauben.")}));
    ASSERT_TRUE(content.card);
    EXPECT_EQ(*content.card, (AppCardContent{kTazel, "Tazel", "Ziehen"}));
    EXPECT_EQ(content.localeIdentifier, "de");
}

TEST_F(PanelContentTest, DragLabelFollowsThePanelLocale) {
    auto c = controller({kTazel}, "de");
    EXPECT_EQ(makePanelContent(*c, "fr").card->dragLabel, "Glisser");
    EXPECT_EQ(plainText(makePanelContent(*c, "fr").headerTitle).substr(0, 6), "Ziehe ");
    // Without a panel locale, the user's languages decide (English here).
    EXPECT_EQ(makePanelContent(*c, std::nullopt).card->dragLabel, "Drag");
    // A table without the label shows the key.
    replaceTable("fr", "\"kestrum.pane.permission\" = \"Autorisation\";");
    EXPECT_EQ(makePanelContent(*c, "fr").card->dragLabel, "kestrum.drag.label");
}

TEST_F(PanelContentTest, MissingKeyInTheChosenLanguageFallsBackToEnglish) {
    replaceTable("de", "\"kestrum.pane.permission\" = \"Berechtigung\";");
    const auto content = makePanelContent(*controller({}, "de"), "de");
    EXPECT_EQ(content.headerTitle, (std::vector<StyledRun>{plain("Drag "), strong("This App"),
                                                           plain(" to the list above to allow "),
                                                           strong("Berechtigung"), plain(".")}));
}

TEST_F(PanelContentTest, SettingsButtonOnlyWhileSystemSettingsIsNotFrontmost) {
    fake.workspace->frontmost = RunningApplication{501, std::string("com.apple.systempreferences")};
    auto c = controller();
    EXPECT_FALSE(makePanelContent(*c, std::nullopt).showsSettingsButton);
    fake.workspace->bringToFront(RunningApplication{600, std::string("com.example.other")});
    EXPECT_TRUE(makePanelContent(*c, std::nullopt).showsSettingsButton);
}

TEST_F(PanelContentTest, ArrowStandsUpWhileDragging) {
    auto c = controller({kTazel});
    c->setDraggingApp(true);
    EXPECT_EQ(makePanelContent(*c, std::nullopt).icon, (HeaderDirectionIconPose{true, 0, 0, 1.08, 0.18}));
    c->setDraggingApp(false);
    EXPECT_EQ(makePanelContent(*c, std::nullopt).icon, headerDirectionIcon(false));
}

TEST_F(PanelContentTest, NamesAreShownAsWritten) {
    auto c = controller({URL::fileURL("/Applications/My *Best* `App`.app")});
    const auto content = makePanelContent(*c, std::nullopt);
    ASSERT_GE(content.headerTitle.size(), 2u);
    EXPECT_EQ(content.headerTitle[1], strong("My *Best* `App`"));
    EXPECT_EQ(content.card->name, "My *Best* `App`");
}

TEST_F(PanelContentTest, TranslatedTemplatesWithoutMarkdownOrWithPositions) {
    replaceTable("it", "\"kestrum.panel.title\" = \"Consenti %2$@ a %1$@ (100%%)\";\n"
                       "\"kestrum.pane.microphone\" = \"Microfono\";");
    auto c = controller({kTazel}, "it");
    c->authorize(KestrumPane::microphone, {}, std::nullopt);
    EXPECT_EQ(makePanelContent(*c, "it").headerTitle,
              (std::vector<StyledRun>{plain("Consenti Microfono a Tazel (100%)")}));
}

TEST_F(PanelContentTest, UnreadableMarkdownShowsThePlainSubstitutedText) {
    const std::string longTemplate = "**%@** " + std::string(kInlineMarkdownMaximumLength, 'x') + " **%@**";
    const auto runs = headerTitle(longTemplate, "Tazel", "Bluetooth");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], plain("**Tazel** " + std::string(kInlineMarkdownMaximumLength, 'x') + " **Bluetooth**"));
}

TEST_F(PanelContentTest, MissingBundleIsReportedOnFirstUse) {
    fakes::FakePlatform bare;
    const auto content = makePanelContent(*controller(), std::nullopt);
    EXPECT_EQ(bare.output->exitCode, 1);
    EXPECT_EQ(bare.output->standardError.rfind("could not load resource bundle: from /opt/kestrum/bin/"
                                               "Kestrum_Kestrum.bundle or ",
                                               0),
              0u);
    // With the process not ended (a fake), the English defaults still stand.
    EXPECT_EQ(plainText(content.headerTitle), "Drag This App to the list above to allow Permission.");
}

// The panel's buttons and the card's drag reach the controller.
class PanelActionsTest : public PanelContentTest {
protected:
    std::shared_ptr<KestrumController> c;
    fakes::FakePanelWindow* window = nullptr;

    void SetUp() override {
        PanelContentTest::SetUp();
        c = controller({kTazel});
        c->authorize(KestrumPane::fullDiskAccess, {}, std::nullopt);
        ASSERT_TRUE(c->panel());
        ASSERT_FALSE(fake.panelWindows->made.empty());
        window = fake.panelWindows->made.back();
        fake.mainLoop->runPendingTasks();
    }
    void TearDown() override {
        if (c) c->closePanel(false);
    }
};

TEST_F(PanelActionsTest, SettingsButtonReopensThePaneAndBringsThePanelFront) {
    fake.workspace->openedURLs.clear();
    fake.workspace->openURLResult = false;
    window->calls.clear();
    window->delegate->settingsButtonPressed();
    ASSERT_EQ(fake.workspace->openedURLs.size(), 1u);
    EXPECT_EQ(fake.workspace->openedURLs[0].absoluteString(),
              "x-apple.systempreferences:com.apple.settings.PrivacySecurity.extension?Privacy_AllFiles");
    EXPECT_NE(std::find(window->calls.begin(), window->calls.end(), "front"), window->calls.end());
}

TEST_F(PanelActionsTest, DragMakesThePanelSeeThroughAndRedrawsTheArrow) {
    window->delegate->dragStateChanged(true);
    EXPECT_TRUE(c->isDraggingApp());
    EXPECT_DOUBLE_EQ(window->alpha, 0.72);
    EXPECT_TRUE(window->ignoresMouse);
    fake.mainLoop->runPendingTasks();
    ASSERT_FALSE(window->contents.empty());
    EXPECT_EQ(window->contents.back().icon, headerDirectionIcon(true));

    window->delegate->dragStateChanged(false);
    EXPECT_FALSE(c->isDraggingApp());
    EXPECT_DOUBLE_EQ(window->alpha, 1.0);
    EXPECT_FALSE(window->ignoresMouse);
    fake.mainLoop->runPendingTasks();
    EXPECT_EQ(window->contents.back().icon, headerDirectionIcon(false));
}

TEST_F(PanelActionsTest, CloseButtonEndsTheFlow) {
    window->delegate->closeButtonPressed();
    EXPECT_EQ(c->panel(), nullptr);
    EXPECT_EQ(KestrumController::activeController(), nullptr);
}

TEST(KestrumButtonStateTest, EachStateHasItsButton) {
    using S = PermissionAuthorizationState;
    EXPECT_EQ(KestrumButtonState::make(S::granted), (KestrumButtonState{"kestrum.button.granted", "checkmark.seal.fill", true}));
    EXPECT_EQ(KestrumButtonState::make(S::notGranted),
              (KestrumButtonState{"kestrum.button.grant", "arrow.right.circle.fill", false}));
    EXPECT_EQ(KestrumButtonState::make(S::unknown),
              (KestrumButtonState{"kestrum.button.open", "arrow.right.circle.fill", false}));
    EXPECT_EQ(KestrumButtonState::make(S::checking), (KestrumButtonState{"kestrum.button.checking", "clock", false}));
    EXPECT_NE(KestrumButtonState::make(S::checking), (KestrumButtonState{"kestrum.button.checking", "clock", true}));
}

}  // namespace
}  // namespace kestrum
