#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>
#include <cmath>

#include "DesktopTestSupport.hpp"
#include "kestrum/desktop/PanelContentWidget.hpp"
#include "kestrum/desktop/QtPanelWindow.hpp"
#include "kestrum/desktop/ScreenSpace.hpp"

namespace kestrum::desktop {
namespace {

void sendPress(QWindow* window, Qt::MouseButton button, QPointF at = {20, 20}) {
    QMouseEvent press(QEvent::MouseButtonPress, at, window->mapToGlobal(at), button, button, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, window->mapToGlobal(at), button, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(window, &release);
}

class QtPanelWindowTest : public ::testing::Test {
protected:
    testing::NiceMock<MockPanelDelegate> delegate;
    QtPanelWindow panel{Size{420, 96}, delegate};
    const Rect primary = primaryScreenGeometry();
};

TEST_F(QtPanelWindowTest, IsAFramelessFloatingToolThatNeverTakesTheFocus) {
    const Qt::WindowFlags flags = panel.widget()->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(panel.widget()->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_FALSE(panel.widget()->isVisible());  // made hidden

    panel.orderFrontRegardless();
    EXPECT_TRUE(panel.widget()->isVisible());
    EXPECT_FALSE(panel.widget()->isActiveWindow());
    EXPECT_EQ(QApplication::focusWidget(), nullptr);
}

TEST_F(QtPanelWindowTest, FramesAreConvertedFromTheBottomLeftSpace) {
    EXPECT_EQ(panel.frame(), (Rect{0, 0, 420, 96}));
    panel.setFrame(Rect{330.4, 350, 670, 150}, false);
    EXPECT_EQ(panel.frame(), (Rect{330.4, 350, 670, 150}));  // kept exactly as given
    const QRect geometry = panel.widget()->geometry();
    EXPECT_EQ(geometry, QRect(330, static_cast<int>(primary.height()) - 500, 670, 150));
    EXPECT_EQ(panel.content()->geometry(), QRect(0, 0, 670, 150));

    // A new content size keeps the bottom-left corner: the top edge moves.
    panel.setContentSize(Size{670, 200});
    EXPECT_EQ(panel.frame(), (Rect{330.4, 350, 670, 200}));
    EXPECT_EQ(panel.widget()->geometry().bottom(), geometry.bottom());
    EXPECT_EQ(panel.widget()->geometry().height(), 200);
}

TEST_F(QtPanelWindowTest, CenterPlacesThePanelInTheMiddleOfTheUsableArea) {
    panel.setFrame(Rect{0, 0, 400, 100}, false);
    panel.center();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_NEAR(panel.widget()->geometry().center().x(), area.center().x(), 1);
    EXPECT_NEAR(panel.widget()->geometry().center().y(), area.center().y(), 1);
    EXPECT_EQ(qtRectFromBottomLeft(panel.frame(), primary).x(), panel.widget()->geometry().x());
}

TEST_F(QtPanelWindowTest, OpacityClickThroughAndClosing) {
    panel.orderFrontRegardless();
    panel.setAlphaValue(0.72);
    EXPECT_EQ(panel.alphaValue(), 0.72);
    EXPECT_NEAR(panel.widget()->windowOpacity(), 0.72, 0.01);

    panel.setIgnoresMouseEvents(true);
    EXPECT_TRUE(panel.widget()->windowHandle()->flags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(panel.widget()->isVisible());  // not unmapped by the change
    panel.setIgnoresMouseEvents(false);
    EXPECT_FALSE(panel.widget()->windowHandle()->flags().testFlag(Qt::WindowTransparentForInput));

    panel.orderBack();
    EXPECT_TRUE(panel.widget()->isVisible());
    panel.close();
    EXPECT_FALSE(panel.widget()->isVisible());
    ASSERT_NE(panel.widget(), nullptr);  // closing does not release the window
    panel.orderFrontRegardless();
    EXPECT_TRUE(panel.widget()->isVisible());
}

TEST_F(QtPanelWindowTest, LeftAndRightPressesAreReportedOnceEach) {
    panel.setContent(englishContent());
    panel.setFrame(Rect{100, 100, 420, 136}, false);
    panel.orderFrontRegardless();
    QWindow* window = panel.widget()->windowHandle();
    EXPECT_CALL(delegate, panelReceivedMouseDown()).Times(2);
    sendPress(window, Qt::LeftButton);
    sendPress(window, Qt::RightButton);
    sendPress(window, Qt::MiddleButton);
}

TEST_F(QtPanelWindowTest, FittingHeightIsLimitedByTheRoomOffered) {
    panel.setContent(germanContent());
    const double needed = panel.fittingHeight(240, 4096);
    EXPECT_GT(needed, 136);
    EXPECT_EQ(panel.fittingHeight(240, 100), 100);
}

TEST(QtPanelWindowFactory, MakesHiddenPanelsOfTheInitialSize) {
    testing::NiceMock<MockPanelDelegate> delegate;
    QtPanelWindowFactory factory;
    auto window = factory.makePanelWindow(Size{420, 96}, delegate);
    auto* qtWindow = dynamic_cast<QtPanelWindow*>(window.get());
    ASSERT_NE(qtWindow, nullptr);
    EXPECT_EQ(qtWindow->widget()->size(), QSize(420, 96));
    EXPECT_FALSE(qtWindow->widget()->isVisible());
}

}  // namespace
}  // namespace kestrum::desktop

namespace kestrum::desktop {
namespace {

TEST_F(QtPanelWindowTest, ContentTooTallForTheFrameIsLaidOutLargerDrawnSmallerAndStillWorks) {
    panel.setContent(germanContent());
    const double needed = panel.fittingHeight(240, 4096);
    // Half the height it needs, as while waiting at the pointer.
    panel.setFrame(Rect{100, 100, 240, std::round(needed / 2)}, false);
    panel.orderFrontRegardless();
    const double scale = panel.contentScale();
    ASSERT_LT(scale, 0.6);
    const QSize laidOut = panel.content()->size();
    EXPECT_NEAR(laidOut.width() * scale, 240, 1);
    EXPECT_NEAR(laidOut.height() * scale, std::round(needed / 2), 1);
    EXPECT_LE(panel.content()->fittingHeight(laidOut.width()), laidOut.height());  // nothing cut off

    // The close button, where it is drawn, still closes.
    QAbstractButton* close = panel.content()->closeButton();
    const QPointF centre = QPointF(close->mapTo(panel.content(), close->rect().center())) * scale;
    EXPECT_CALL(delegate, closeButtonPressed());
    sendPress(panel.widget()->windowHandle(), Qt::LeftButton, centre);
    testing::Mock::VerifyAndClearExpectations(&delegate);

    // Docked, it is drawn at its size.
    panel.setFrame(Rect{100, 100, 240, needed}, false);
    EXPECT_EQ(panel.contentScale(), 1);
    EXPECT_EQ(panel.content()->size(), QSize(240, static_cast<int>(needed)));
}

}  // namespace
}  // namespace kestrum::desktop
