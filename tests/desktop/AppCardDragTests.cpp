#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QUrl>

#include "DesktopTestSupport.hpp"
#include "kestrum/desktop/AppCardWidget.hpp"
#include "kestrum/desktop/PanelContentWidget.hpp"
#include "kestrum/desktop/QtPanelWindow.hpp"

namespace kestrum::desktop {
namespace {

using ::testing::InSequence;

void sendMouse(QWidget* widget, QEvent::Type type, QPointF at, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

class AppCardDragTest : public ::testing::Test {
protected:
    AppCardDragTest() {
        content.setContent(englishContent());
        content.resize(420, 136);
        card = content.card();
    }

    void press(QPointF at) { sendMouse(card, QEvent::MouseButtonPress, at, Qt::LeftButton); }
    void move(QPointF at) { sendMouse(card, QEvent::MouseMove, at, Qt::LeftButton); }
    void release(QPointF at) { sendMouse(card, QEvent::MouseButtonRelease, at, Qt::NoButton); }

    testing::NiceMock<MockPanelDelegate> delegate;
    std::shared_ptr<DelegateLink> link = std::make_shared<DelegateLink>(DelegateLink{&delegate});
    PanelContentWidget content{link};
    AppCardWidget* card = nullptr;
};

TEST(DragMimeData, CarriesTheFileURLAndThePath) {
    const AppBundlePasteboardWriter writer(URL::fileURL("/Applications/Tazel Beta.app"));
    std::unique_ptr<QMimeData> data(makeDragMimeData(writer));
    ASSERT_EQ(data->urls().size(), 1);
    EXPECT_EQ(data->urls().front().toString(QUrl::FullyEncoded).toStdString(),
              "file:///Applications/Tazel%20Beta.app");
    EXPECT_EQ(data->urls().front().toLocalFile().toStdString(), "/Applications/Tazel Beta.app");
    EXPECT_EQ(data->text().toStdString(), "/Applications/Tazel Beta.app");
    EXPECT_TRUE(data->hasFormat("text/uri-list"));
}

TEST_F(AppCardDragTest, SmallMovementsStartNothing) {
    int drags = 0;
    card->setDragRunner([&](QDrag&) {
        ++drags;
        return Qt::IgnoreAction;
    });
    EXPECT_CALL(delegate, dragStateChanged(testing::_)).Times(0);
    press({20, 40});
    move({23, 40});
    move({20, 44});  // exactly 4 points away
    release({20, 44});
    move({40, 40});  // no press in progress
    EXPECT_EQ(drags, 0);
}

TEST_F(AppCardDragTest, ADragOffersTheBundleAsACopyWithItsIconAtThePointer) {
    std::vector<std::string> seen;
    card->setDragRunner([&](QDrag& drag) {
        seen.push_back(drag.mimeData()->urls().front().toString().toStdString());
        seen.push_back(drag.mimeData()->text().toStdString());
        EXPECT_EQ(drag.pixmap().deviceIndependentSize(), QSizeF(56, 56));
        EXPECT_EQ(drag.hotSpot(), QPoint(28, 28));
        EXPECT_TRUE(card->isRunningDrag());
        return Qt::CopyAction;
    });
    {
        InSequence order;
        EXPECT_CALL(delegate, dragStateChanged(true));
        EXPECT_CALL(delegate, dragStateChanged(false));
    }
    press({20, 40});
    move({24.1, 40});
    move({80, 40});  // the same press starts no second drag
    release({80, 40});
    EXPECT_EQ(seen, (std::vector<std::string>{"file:///Applications/Tazel.app", "/Applications/Tazel.app"}));
    EXPECT_FALSE(card->isRunningDrag());
}

TEST_F(AppCardDragTest, ARealDragSessionBracketsItsStateAndOffersCopyOnly) {
    // The platform's own drag runs (it ends at once without a pointer on the off-screen platform).
    Qt::DropActions offered;
    EXPECT_CALL(delegate, dragStateChanged(true));
    EXPECT_CALL(delegate, dragStateChanged(false)).WillOnce([&] {
        const QDrag* drag = card->findChild<QDrag*>();
        ASSERT_NE(drag, nullptr);
        offered = drag->supportedActions();
    });
    press({20, 40});
    move({30, 40});
    EXPECT_EQ(offered, Qt::DropActions(Qt::CopyAction));

    // After the session ended a new press can drag again.
    EXPECT_CALL(delegate, dragStateChanged(true));
    EXPECT_CALL(delegate, dragStateChanged(false));
    release({30, 40});
    press({20, 40});
    move({20, 50});
}

TEST_F(AppCardDragTest, ANewBundleIsWhatTheNextDragCarries) {
    std::string carried;
    card->setDragRunner([&](QDrag& drag) {
        carried = drag.mimeData()->text().toStdString();
        return Qt::CopyAction;
    });
    PanelContent other = englishContent();
    other.card = AppCardContent{URL::fileURL("/Users/tester/Apps/Other.app"), "Other", "Drag me"};
    content.setContent(other);
    ASSERT_EQ(content.card(), card);  // the card is updated, not remade
    press({20, 40});
    move({40, 40});
    EXPECT_EQ(carried, "/Users/tester/Apps/Other.app");
}

TEST(AppCardDragWindow, APanelDroppedDuringADragGoesAwayOnlyAfterTheDragAndTellsNobody) {
    testing::StrictMock<MockPanelDelegate> delegate;
    auto panel = std::make_unique<QtPanelWindow>(Size{420, 136}, delegate);
    panel->setContent(englishContent());
    panel->setFrame(Rect{100, 100, 420, 136}, false);
    AppCardWidget* card = panel->content()->card();
    ASSERT_NE(card, nullptr);
    QPointer<QWidget> window(panel->widget());

    EXPECT_CALL(delegate, dragStateChanged(true));
    card->setDragRunner([&](QDrag&) {
        // The flow ends while the drag's own loop runs (the keep-alive, or System Settings quit).
        panel.reset();
        EXPECT_FALSE(window.isNull());  // still needed by the drag below us
        EXPECT_FALSE(window->isVisible());
        return Qt::IgnoreAction;
    });
    sendMouse(card, QEvent::MouseButtonPress, {20, 40}, Qt::LeftButton);
    sendMouse(card, QEvent::MouseMove, {40, 40}, Qt::LeftButton);  // no dragStateChanged(false) reaches the gone panel
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

}  // namespace
}  // namespace kestrum::desktop
