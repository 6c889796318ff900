// Choosing the settings window and converting its frame, as pure functions and through the
// window-server and accessibility fakes.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "kestrum/WindowFrames.hpp"
#include "kestrum/fakes/FakeAccessibility.hpp"
#include "kestrum/fakes/FakeWindowServer.hpp"

namespace kestrum {
namespace {

using fakes::element;
using fakes::elementId;
using fakes::windowEntry;

const ScreenPair kPrimary{Rect{0, 0, 1440, 900}, Rect{0, 0, 1440, 900}};
const ScreenPair kAboveLeft{Rect{-1920, 900, 1920, 1080}, Rect{-1920, -1080, 1920, 1080}};
const ScreenPair kRight{Rect{1440, 0, 1920, 1080}, Rect{1440, -180, 1920, 1080}};

Rect convertOnPrimary(const Rect& r) {
    const std::vector<ScreenPair> screens{kPrimary};
    return appKitFrame(r, screens);
}

LooseValue list(std::vector<LooseValue> entries) { return LooseValue(LooseList(std::move(entries))); }

// --- appKitFrame ---------------------------------------------------------------------------

TEST(AppKitFrame, ConvertsThroughTheScreenThatHoldsTheRectangle) {
    const std::vector<ScreenPair> one{kPrimary};
    EXPECT_EQ(appKitFrame(Rect{100, 50, 800, 600}, one), (Rect{100, 247, 800, 600}));

    const std::vector<ScreenPair> stacked{kPrimary, kAboveLeft};
    EXPECT_EQ(appKitFrame(Rect{-1800, -1000, 800, 600}, stacked), (Rect{-1800, 1297, 800, 600}));
}

TEST(AppKitFrame, LargestOverlapWinsAndTheEarlierScreenWinsATie) {
    // 240 x 400 on the primary, 360 x 400 on the screen to its right.
    const std::vector<ScreenPair> sideBySide{kPrimary, kRight};
    EXPECT_EQ(appKitFrame(Rect{1200, 100, 600, 400}, sideBySide), (Rect{1200, 397, 600, 400}));

    // Straddling the border by exactly half: each screen gives a different answer, and the
    // one listed first is used.
    const ScreenPair left{Rect{0, 0, 1000, 800}, Rect{0, 0, 1000, 800}};
    const ScreenPair right{Rect{1000, 100, 1000, 800}, Rect{1000, 0, 1000, 800}};
    const Rect straddling{900, 0, 200, 100};
    EXPECT_EQ(appKitFrame(straddling, std::vector<ScreenPair>{left, right}), (Rect{900, 697, 200, 100}));
    EXPECT_EQ(appKitFrame(straddling, std::vector<ScreenPair>{right, left}), (Rect{900, 797, 200, 100}));
}

TEST(AppKitFrame, RectangleOnNoScreenOrOnlyTouchingOneComesBackUnchanged) {
    const std::vector<ScreenPair> one{kPrimary};
    EXPECT_EQ(appKitFrame(Rect{5000, 5000, 100, 100}, one), (Rect{5000, 5000, 100, 100}));
    EXPECT_EQ(appKitFrame(Rect{1440, 0, 100, 100}, one), (Rect{1440, 0, 100, 100})) << "touching edge";
    EXPECT_EQ(appKitFrame(Rect{10, 10, 0, 100}, one), (Rect{10, 10, 0, 100})) << "no area";
    EXPECT_EQ(appKitFrame(Rect{10, 10, 100, 100}, std::vector<ScreenPair>{}), (Rect{10, 10, 100, 100}));
}

TEST(AppKitFrame, ScreensWithoutADisplayNumberAreNeverChosen) {
    fakes::FakeWindowServer server;
    server.screenList.push_back({Rect{0, 0, 1440, 900}, Rect{0, 0, 1440, 875}, std::nullopt});
    server.screenList.push_back({Rect{0, 0, 1440, 900}, Rect{0, 0, 1440, 875}, LooseValue("1")});
    server.screenList.push_back({Rect{0, 0, 1440, 900}, Rect{0, 0, 1440, 875}, LooseValue(true)});
    server.bounds[1] = Rect{0, 0, 1440, 900};
    EXPECT_TRUE(screenPairs(server).empty());
    EXPECT_EQ(appKitFrame(server, Rect{100, 50, 800, 600}), (Rect{100, 50, 800, 600}));

    server.addScreen(7, Rect{0, 0, 1440, 900}, Rect{0, 0, 1440, 875}, Rect{0, 0, 1440, 900});
    EXPECT_EQ(appKitFrame(server, Rect{100, 50, 800, 600}), (Rect{100, 247, 800, 600}));

    // Numbers are taken as their unsigned 32-bit value; non-finite ones are no number.
    EXPECT_EQ(displayIdentifier(LooseValue(std::int64_t{0x1'0000'0005})), 5u);
    EXPECT_EQ(displayIdentifier(LooseValue(3.0)), 3u);
    EXPECT_FALSE(displayIdentifier(LooseValue(std::nan(""))));
}

TEST(AppKitFrame, ScreenArrangementIsReadAgainOnEveryCall) {
    fakes::FakeWindowServer server;
    server.addScreen(1, kPrimary.frame, kPrimary.frame, kPrimary.cgBounds);
    const Rect r{100, 50, 800, 600};
    EXPECT_EQ(appKitFrame(server, r), (Rect{100, 247, 800, 600}));
    server.screenList.front().frame = Rect{0, 0, 1440, 1000};  // a taller primary screen
    EXPECT_EQ(appKitFrame(server, r), (Rect{100, 347, 800, 600}));
}

// --- windowServerFrame -----------------------------------------------------------------------

TEST(WindowServerFrame, PicksTheLargestOrdinaryVisibleWindowOfTheProcess) {
    const auto windows = list({
        windowEntry(99, Rect{0, 0, 1400, 880}),            // another process
        windowEntry(42, Rect{100, 100, 500, 400}),         // small
        windowEntry(42, Rect{0, 0, 1200, 800}, 3),          // layer 3: a floating panel
        windowEntry(42, Rect{0, 0, 1300, 850}, 0, 0.0),     // alpha 0: hidden
        windowEntry(42, Rect{100, 50, 800, 600}),          // the settings window
    });
    EXPECT_EQ(windowServerFrame(42, windows, convertOnPrimary), (Rect{100, 247, 800, 600}));
    EXPECT_FALSE(windowServerFrame(7, windows, convertOnPrimary));
}

TEST(WindowServerFrame, MinimumSizeIsExclusiveAndTheFrontWindowWinsATie) {
    EXPECT_FALSE(windowServerFrame(1, list({windowEntry(1, Rect{0, 0, 320, 240})}), convertOnPrimary));
    EXPECT_FALSE(windowServerFrame(1, list({windowEntry(1, Rect{0, 0, 321, 240})}), convertOnPrimary));
    EXPECT_FALSE(windowServerFrame(1, list({windowEntry(1, Rect{0, 0, 320, 241})}), convertOnPrimary));
    EXPECT_EQ(windowServerFrame(1, list({windowEntry(1, Rect{0, 0, 321, 241})}), convertOnPrimary),
              (Rect{0, 900 - 241 - 3, 321, 241}));

    // Same area (500 x 400 and 400 x 500): the first listed, nearer the front, wins.
    const auto tie = list({windowEntry(1, Rect{0, 0, 500, 400}), windowEntry(1, Rect{500, 0, 400, 500})});
    EXPECT_EQ(windowServerFrame(1, tie, convertOnPrimary)->x(), 0);
    const auto bigger = list({windowEntry(1, Rect{0, 0, 500, 400}), windowEntry(1, Rect{500, 0, 400, 501})});
    EXPECT_EQ(windowServerFrame(1, bigger, convertOnPrimary)->x(), 500);
}

TEST(WindowServerFrame, MissingLayerAndAlphaCountAsOrdinaryButAMissingOwnerRejects) {
    const LooseDictionary bounds{{"X", 0.0}, {"Y", 0.0}, {"Width", 800.0}, {"Height", 600.0}};
    const auto noLayerNoAlpha = list({LooseValue(LooseDictionary{{"kCGWindowOwnerPID", 5}, {"kCGWindowBounds", bounds}})});
    EXPECT_TRUE(windowServerFrame(5, noLayerNoAlpha, convertOnPrimary));

    const auto unreadable = list({LooseValue(LooseDictionary{{"kCGWindowOwnerPID", 5},
                                                              {"kCGWindowLayer", "zero"},
                                                              {"kCGWindowAlpha", "opaque"},
                                                              {"kCGWindowBounds", bounds}})});
    EXPECT_TRUE(windowServerFrame(5, unreadable, convertOnPrimary));

    const auto noOwner = list({LooseValue(LooseDictionary{{"kCGWindowBounds", bounds}})});
    EXPECT_FALSE(windowServerFrame(0, noOwner, convertOnPrimary)) << "a missing owner is not process 0";
    const auto textOwner = list({LooseValue(LooseDictionary{{"kCGWindowOwnerPID", "5"}, {"kCGWindowBounds", bounds}})});
    EXPECT_FALSE(windowServerFrame(5, textOwner, convertOnPrimary));
    // A process identifier beyond 32 bits does not wrap around onto a real one.
    const auto wide = list({LooseValue(
        LooseDictionary{{"kCGWindowOwnerPID", std::int64_t{0x1'0000'0005}}, {"kCGWindowBounds", bounds}})});
    EXPECT_FALSE(windowServerFrame(5, wide, convertOnPrimary));
}

TEST(WindowServerFrame, MalformedBoundsAreSkippedWithoutLosingTheOtherWindows) {
    const auto entry = [](LooseValue bounds) {
        return LooseValue(LooseDictionary{{"kCGWindowOwnerPID", 5}, {"kCGWindowBounds", std::move(bounds)}});
    };
    const double inf = std::numeric_limits<double>::infinity();
    const auto windows = list({
        LooseValue(LooseDictionary{{"kCGWindowOwnerPID", 5}}),  // no bounds
        entry(LooseValue("0,0,2000,2000")),
        entry(LooseDictionary{{"X", 0.0}, {"Y", 0.0}, {"Width", 2000.0}}),
        entry(LooseDictionary{{"X", 0.0}, {"Y", 0.0}, {"Width", "2000"}, {"Height", 2000.0}}),
        entry(LooseDictionary{{"X", 0.0}, {"Y", 0.0}, {"Width", inf}, {"Height", 2000.0}}),
        entry(LooseDictionary{{"X", std::nan("")}, {"Y", 0.0}, {"Width", 2000.0}, {"Height", 2000.0}}),
        entry(LooseDictionary{{"X", 0.0}, {"Y", 0.0}, {"Width", -2000.0}, {"Height", -2000.0}}),
        entry(LooseDictionary{{"X", 10}, {"Y", 20}, {"Width", 500}, {"Height", 400}}),  // integers are numbers
    });
    EXPECT_EQ(windowServerFrame(5, windows, convertOnPrimary), (Rect{10, 900 - 20 - 400 - 3, 500, 400}));
}

TEST(WindowServerFrame, NoListOrAListThatIsNotOfDictionariesGivesNothing) {
    EXPECT_FALSE(windowServerFrame(1, std::nullopt, convertOnPrimary));
    EXPECT_FALSE(windowServerFrame(1, LooseValue(LooseDictionary{}), convertOnPrimary));
    EXPECT_FALSE(windowServerFrame(1, list({windowEntry(1, Rect{0, 0, 800, 600}), LooseValue(3)}), convertOnPrimary));
    EXPECT_FALSE(windowServerFrame(1, list({}), convertOnPrimary));
}

TEST(WindowServerFrame, ReadsTheOnScreenListAndConvertsEachWindowThroughTheScreens) {
    fakes::FakeWindowServer server;
    server.addScreen(1, kPrimary.frame, kPrimary.frame, kPrimary.cgBounds);
    server.addScreen(2, kRight.frame, kRight.frame, kRight.cgBounds);
    server.windowList = list({windowEntry(3, Rect{1200, 100, 600, 400})});
    EXPECT_EQ(windowServerFrame(server, 3), (Rect{1200, 397, 600, 400}));
    EXPECT_EQ(server.lastOptions, 17u);
    EXPECT_EQ(server.windowListReads, 1);
}

// The reader answers an unchanged list without a scan, but anything else that changed counts:
// a new list with the same contents, other screens, another process.
TEST(WindowServerFrame, TheReaderReusesItsAnswerOnlyForTheSameListScreensAndProcess) {
    fakes::FakeWindowServer server;
    server.addScreen(1, kPrimary.frame, kPrimary.frame, kPrimary.cgBounds);
    server.windowList = list({windowEntry(3, Rect{100, 50, 800, 600}), windowEntry(4, Rect{0, 0, 1000, 700})});
    WindowServerFrameReader reader;
    EXPECT_EQ(reader.read(server, 3), (Rect{100, 247, 800, 600}));
    EXPECT_EQ(reader.read(server, 3), (Rect{100, 247, 800, 600}));
    EXPECT_EQ(reader.read(server, 4), (Rect{0, 197, 1000, 700}));

    server.screenList.front().frame = Rect{0, 0, 1440, 1000};  // a taller primary screen
    EXPECT_EQ(reader.read(server, 4), (Rect{0, 297, 1000, 700}));

    server.windowList = list({windowEntry(4, Rect{10, 0, 1000, 700})});
    EXPECT_EQ(reader.read(server, 4), (Rect{10, 297, 1000, 700}));
    server.windowList = std::nullopt;
    EXPECT_FALSE(reader.read(server, 4));
    EXPECT_EQ(server.windowListReads, 6);  // the list is read every time
}

// --- accessibility readers and mainWindow ------------------------------------------------------

TEST(AttributeReaders, AValueOfAnotherTypeReadsAsNothing) {
    EXPECT_FALSE(pointValue(AttributeResult{Size{3, 4}}));
    EXPECT_FALSE(pointValue(AttributeResult{OtherAXValue{4}}));
    EXPECT_FALSE(sizeValue(AttributeResult{Point{800, 600}}));
    EXPECT_FALSE(arrayValue(AttributeResult{element(1)}));
}

TEST(MainWindow, PrefersMainThenFocusedThenTheFirstWindow) {
    fakes::FakeAccessibility ax;
    const auto app = element(10);
    EXPECT_EQ(mainWindow(ax, app), nullptr) << "nothing readable";

    ax.set(10, "AXWindows", ElementList{});
    EXPECT_EQ(mainWindow(ax, app), nullptr) << "no windows";

    ax.set(10, "AXWindows", ElementList{element(3), element(4)});
    EXPECT_EQ(elementId(mainWindow(ax, app)), 3);

    ax.set(10, "AXFocusedWindow", element(2));
    EXPECT_EQ(elementId(mainWindow(ax, app)), 2);

    ax.set(10, "AXMainWindow", element(1));
    EXPECT_EQ(elementId(mainWindow(ax, app)), 1);
}

TEST(MainWindow, ASuccessfulReadWithoutAnElementCountsAsAFailedRead) {
    fakes::FakeAccessibility ax;
    ax.set(10, "AXMainWindow", NoValue{});
    ax.set(10, "AXFocusedWindow", Point{1, 2});
    ax.set(10, "AXWindows", ElementList{element(5)});
    EXPECT_EQ(elementId(mainWindow(ax, element(10))), 5);

    ax.set(10, "AXMainWindow", ElementRef{});
    ax.set(10, "AXWindows", element(6));  // not a list
    EXPECT_EQ(mainWindow(ax, element(10)), nullptr);
}

}  // namespace
}  // namespace kestrum
