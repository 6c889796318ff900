#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QTextDocument>

#include "DesktopTestSupport.hpp"
#include "kestrum/desktop/AppCardWidget.hpp"
#include "kestrum/desktop/PanelContentWidget.hpp"

namespace kestrum::desktop {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(TitleHtml, StylesRunsAndEscapesTheirText) {
    const std::vector<StyledRun> runs{
        {"Drag ", false, false, false, std::nullopt},
        {"Tazel <Beta> & Co", true, false, false, std::nullopt},
        {" to ", false, true, false, std::nullopt},
        {"x < y", false, false, true, std::nullopt},
        {"docs", false, false, false, std::string("https://example.com/?a=1&b=\"2\"")},
    };
    const QString html = titleHtml(runs);
    EXPECT_THAT(html.toStdString(), HasSubstr("<b>Tazel &lt;Beta&gt; &amp; Co</b>"));
    EXPECT_THAT(html.toStdString(), HasSubstr("<i> to </i>"));
    EXPECT_THAT(html.toStdString(), HasSubstr("<code>x &lt; y</code>"));
    EXPECT_THAT(html.toStdString(), HasSubstr("<a href=\"https://example.com/?a=1&amp;b=&quot;2&quot;\">docs</a>"));

    // What a reader sees is exactly the runs' text: nothing of it was taken for markup.
    QTextDocument document;
    document.setHtml(html);
    EXPECT_EQ(document.toPlainText().toStdString(), "Drag Tazel <Beta> & Co to x < ydocs");
}

TEST(TitleHtml, KeepsLineBreaksAndRepeatedSpaces) {
    QTextDocument document;
    document.setHtml(titleHtml({{"one  two\nthree", false, false, false, std::nullopt}}));
    EXPECT_EQ(document.toPlainText().toStdString(), "one  two\nthree");
}

class PanelContentWidgetTest : public ::testing::Test {
protected:
    testing::NiceMock<MockPanelDelegate> delegate;
    std::shared_ptr<DelegateLink> link = std::make_shared<DelegateLink>(DelegateLink{&delegate});
    PanelContentWidget widget{link};
};

TEST_F(PanelContentWidgetTest, FittingHeightIsPaddingHeaderSpacingAndCard) {
    widget.setContent(englishContent());
    // 8 top + 22 (the close button, the tallest of a one-line header) + 6 + 88 card + 12 bottom.
    EXPECT_EQ(widget.fittingHeight(670), 136);

    PanelContent withoutCard = englishContent();
    withoutCard.card.reset();
    widget.setContent(withoutCard);
    EXPECT_EQ(widget.card(), nullptr);
    EXPECT_EQ(widget.fittingHeight(670), 8 + 22 + 12);
}

TEST_F(PanelContentWidgetTest, LongTitleWrapsAndTheHeightFollowsTheWidth) {
    widget.setContent(germanContent());
    const int wide = widget.fittingHeight(1400);
    const int narrow = widget.fittingHeight(300);
    EXPECT_GT(narrow, wide);
    EXPECT_GT(widget.titleView()->heightForWidth(200), widget.titleView()->heightForWidth(1200));
    EXPECT_EQ(widget.titleView()->lineCount(1400), 1);
    EXPECT_GT(widget.titleView()->lineCount(200), 2);
    // A word wider than the line is broken rather than cut off.
    PanelContent oneWord;
    oneWord.headerTitle = {{"Bildschirmaufnahmeberechtigung", true, false, false, std::nullopt}};
    widget.setContent(oneWord);
    EXPECT_GT(widget.titleView()->lineCount(60), 1);
}

TEST_F(PanelContentWidgetTest, ShowsTheSettingsButtonOnlyWhenAsked) {
    PanelContent content = englishContent();
    widget.resize(420, 136);
    widget.show();
    widget.setContent(content);
    EXPECT_TRUE(widget.settingsButton()->isVisible());
    content.showsSettingsButton = false;
    widget.setContent(content);
    EXPECT_FALSE(widget.settingsButton()->isVisible());
    EXPECT_TRUE(widget.closeButton()->isVisible());
}

TEST_F(PanelContentWidgetTest, ButtonsReachTheDelegateUntilTheLinkIsCleared) {
    widget.setContent(englishContent());
    EXPECT_CALL(delegate, settingsButtonPressed()).Times(1);
    EXPECT_CALL(delegate, closeButtonPressed()).Times(1);
    widget.settingsButton()->click();
    widget.closeButton()->click();

    link->delegate = nullptr;  // the panel window went away
    widget.closeButton()->click();
}

TEST_F(PanelContentWidgetTest, CardShowsTheNameAndKeepsItsMinimumHeight) {
    widget.setContent(englishContent());
    ASSERT_NE(widget.card(), nullptr);
    EXPECT_EQ(widget.card()->nameLabel()->text().toStdString(), "Tazel");
    EXPECT_EQ(widget.card()->hintLabel()->text().toStdString(), "Drag me");
    EXPECT_EQ(widget.card()->sizeHint().height(), static_cast<int>(AppDragSource::minimumCardHeight));
    EXPECT_LT(widget.card()->cardRect().height(), static_cast<int>(AppDragSource::minimumCardHeight));
}

TEST_F(PanelContentWidgetTest, ArrowTakesTheDraggingPoseAnimatedOnceShown) {
    widget.setContent(englishContent());
    EXPECT_DOUBLE_EQ(widget.directionIcon()->displayedRotation(), -10);
    EXPECT_DOUBLE_EQ(widget.directionIcon()->displayedOffsetY(), 1);

    widget.resize(420, 136);
    widget.show();
    PanelContent dragging = englishContent();
    dragging.icon = HeaderDirectionIconPose{true, 0, 0, 1.08, 0.18};
    widget.setContent(dragging);
    EXPECT_TRUE(widget.directionIcon()->isAnimating());
    EXPECT_EQ(widget.directionIcon()->targetPose(), dragging.icon);

    // Unshown, the pose is taken at once.
    widget.hide();
    widget.setContent(englishContent());
    EXPECT_FALSE(widget.directionIcon()->isAnimating());
    EXPECT_DOUBLE_EQ(widget.directionIcon()->displayedScale(), 1);
}

}  // namespace
}  // namespace kestrum::desktop
