#include "kestrum/AppDragSource.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace kestrum {
namespace {

URL tazelURL() { return URL::fileURL("/Applications/Tazel.app"); }

struct RecordingSource {
    AppDragSource source{tazelURL()};
    std::vector<bool> states;
    RecordingSource() {
        source.onDragStateChange = [this](bool dragging) { states.push_back(dragging); };
    }
};

TEST(AppDragSourceTest, PressWithinThresholdStartsNothing) {
    RecordingSource r;
    r.source.mouseDown({10, 10});
    EXPECT_FALSE(r.source.mouseDragged({14, 10}));     // exactly 4 points
    EXPECT_FALSE(r.source.mouseDragged({12.4, 13.2}));  // 4 points along a diagonal
    EXPECT_FALSE(r.source.mouseDragged({10, 10}));
    r.source.mouseUp();
    EXPECT_FALSE(r.source.mouseDownPoint());
    EXPECT_FALSE(r.source.hasBegunDragging());
    EXPECT_TRUE(r.states.empty());
}

TEST(AppDragSourceTest, MovingBeyondThresholdStartsExactlyOneDrag) {
    RecordingSource r;
    r.source.mouseDown({10, 10});
    auto start = r.source.mouseDragged({14.1, 10});
    ASSERT_TRUE(start);
    EXPECT_TRUE(r.source.hasBegunDragging());
    // Further movement of the same press is part of the running drag.
    EXPECT_FALSE(r.source.mouseDragged({40, 40}));
    EXPECT_FALSE(r.source.mouseDragged({14.1, 10}));

    // The image is 56 x 56 and centred on the pointer where the drag began.
    EXPECT_EQ(start->imageFrame, (Rect{14.1 - 28, 10 - 28, 56, 56}));
    EXPECT_EQ(start->imageFrame.midX(), 14.1);
    EXPECT_EQ(start->imageFrame.midY(), 10);
    EXPECT_EQ(start->iconPath, "/Applications/Tazel.app");
    EXPECT_EQ(start->writer.url(), tazelURL());
    EXPECT_TRUE(start->animatesToStartingPositionOnCancel);
}

TEST(AppDragSourceTest, DiagonalDistanceIsEuclidean) {
    RecordingSource r;
    r.source.mouseDown({0, 0});
    EXPECT_FALSE(r.source.mouseDragged({3, 2.6}));  // 3.97 points
    EXPECT_TRUE(r.source.mouseDragged({3, 2.7}));   // 4.04 points, though neither axis exceeds 4
}

TEST(AppDragSourceTest, DragWithoutPressStartsNothing) {
    RecordingSource r;
    EXPECT_FALSE(r.source.mouseDragged({100, 100}));
    r.source.mouseDown({0, 0});
    r.source.mouseUp();
    EXPECT_FALSE(r.source.mouseDragged({100, 100}));
    EXPECT_TRUE(r.states.empty());
}

TEST(AppDragSourceTest, SessionCallbacksBracketTheSessionAndAllowANewDrag) {
    RecordingSource r;
    r.source.mouseDown({0, 0});
    ASSERT_TRUE(r.source.mouseDragged({5, 0}));
    r.source.draggingSessionWillBegin();
    EXPECT_EQ(r.states, (std::vector<bool>{true}));
    r.source.draggingSessionEnded();
    EXPECT_EQ(r.states, (std::vector<bool>{true, false}));
    EXPECT_FALSE(r.source.mouseDownPoint());
    EXPECT_FALSE(r.source.hasBegunDragging());

    // A drag that arrives after the session without a new press starts nothing; a new press does.
    EXPECT_FALSE(r.source.mouseDragged({50, 0}));
    r.source.mouseDown({50, 0});
    EXPECT_TRUE(r.source.mouseDragged({50, 5}));
}

TEST(AppDragSourceTest, MouseUpDuringDragReturnsToIdle) {
    RecordingSource r;
    r.source.mouseDown({0, 0});
    ASSERT_TRUE(r.source.mouseDragged({0, 10}));
    r.source.mouseUp();
    EXPECT_FALSE(r.source.mouseDownPoint());
    EXPECT_FALSE(r.source.hasBegunDragging());
    EXPECT_FALSE(r.source.mouseDragged({0, 20}));
}

TEST(AppDragSourceTest, SessionWithoutCallbackIsHarmless) {
    AppDragSource source(tazelURL());
    source.mouseDown({0, 0});
    ASSERT_TRUE(source.mouseDragged({0, 10}));
    source.draggingSessionWillBegin();
    source.draggingSessionEnded();
    EXPECT_FALSE(source.hasBegunDragging());
}

TEST(AppDragSourceTest, DragCarriesTheCurrentURL) {
    AppDragSource source(tazelURL());
    source.setURL(URL::fileURL("/Applications/Other.app"));
    source.mouseDown({0, 0});
    auto start = source.mouseDragged({0, 10});
    ASSERT_TRUE(start);
    EXPECT_EQ(start->writer.pasteboardPropertyList(kPasteboardTypeString), "/Applications/Other.app");
}

TEST(AppDragSourceTest, OffersCopyOnlyAndIgnoresModifiers) {
    EXPECT_EQ(AppDragSource::sourceOperationMask(DraggingContext::withinApplication), DragOperation::copy);
    EXPECT_EQ(AppDragSource::sourceOperationMask(DraggingContext::outsideApplication), DragOperation::copy);
    EXPECT_TRUE(AppDragSource::ignoresModifierKeys());
}

TEST(AppDragSourceTest, CardIsNeverShorterThanMinimum) {
    EXPECT_EQ(AppDragSource::intrinsicHeight(44), 88);
    EXPECT_EQ(AppDragSource::intrinsicHeight(88), 88);
    EXPECT_EQ(AppDragSource::intrinsicHeight(120.5), 120.5);
    EXPECT_EQ(AppDragSource::intrinsicHeight(std::numeric_limits<double>::quiet_NaN()), 88);
    EXPECT_EQ(AppDragSource::intrinsicHeight(std::numeric_limits<double>::infinity()), 88);
}

TEST(AppBundlePasteboardWriterTest, WritesTheBundleAsURLsAndPath) {
    const AppBundlePasteboardWriter writer(tazelURL());
    EXPECT_EQ(writer.writableTypes(), (std::vector<std::string>{"public.file-url", "public.url",
                                                                "com.apple.pasteboard.promised-file-url",
                                                                "public.utf8-plain-text"}));
    EXPECT_EQ(writer.pasteboardPropertyList("public.file-url"), "file:///Applications/Tazel.app");
    EXPECT_EQ(writer.pasteboardPropertyList("public.url"), "file:///Applications/Tazel.app");
    EXPECT_EQ(writer.pasteboardPropertyList("com.apple.pasteboard.promised-file-url"),
              "file:///Applications/Tazel.app");
    EXPECT_EQ(writer.pasteboardPropertyList("public.utf8-plain-text"), "/Applications/Tazel.app");
    EXPECT_EQ(writer.pasteboardPropertyList("public.png"), std::nullopt);
    EXPECT_EQ(writer.pasteboardPropertyList(""), std::nullopt);
}

TEST(AppBundlePasteboardWriterTest, PlainTextIsTheDecodedPath) {
    const AppBundlePasteboardWriter writer(URL::fileURL("/Applications/Tazel Beta.app"));
    EXPECT_EQ(writer.pasteboardPropertyList("public.file-url"), "file:///Applications/Tazel%20Beta.app");
    EXPECT_EQ(writer.pasteboardPropertyList("public.utf8-plain-text"), "/Applications/Tazel Beta.app");
}

TEST(AppBundleDisplayNameTest, DropsTheExtension) {
    EXPECT_EQ(appBundleDisplayName(tazelURL()), "Tazel");
    EXPECT_EQ(appBundleDisplayName(*URL::parse("file:///Applications/Tazel.app/")), "Tazel");
    EXPECT_EQ(appBundleDisplayName(URL::fileURL("/Applications/Tazel.v2.app")), "Tazel.v2");
    EXPECT_EQ(appBundleDisplayName(URL::fileURL("/Applications/Tazel")), "Tazel");
    EXPECT_EQ(appBundleDisplayName(URL::fileURL("/Applications/.app")), ".app");
}

}  // namespace
}  // namespace kestrum
