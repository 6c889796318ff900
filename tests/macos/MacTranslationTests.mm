// The macOS shell's translations with logic: CoreFoundation values into loose values (and the
// window list as the core reads it), attribute reads into the accessibility port's results,
// Foundation's text services, and the main loop's timers on the main run loop.
#import <ApplicationServices/ApplicationServices.h>
#import <CoreFoundation/CoreFoundation.h>
#import <CoreGraphics/CoreGraphics.h>
#import <Foundation/Foundation.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "kestrum/WindowFrames.hpp"
#include "kestrum/macos/AccessibilityValues.hpp"
#include "kestrum/macos/CoreFoundationValues.hpp"
#include "kestrum/macos/MacSystemPlatform.hpp"

namespace kestrum::macos {
namespace {

LooseValue loose(id object) { return looseValue((__bridge CFTypeRef)object); }

template <typename T>
bool holds(const LooseValue& value, const T& expected) {
    const auto* held = std::get_if<T>(&value.value);
    return held && *held == expected;
}

TEST(CoreFoundationValuesTest, KeepsEachKindAsCoreFoundationHoldsIt) {
    EXPECT_TRUE(holds(loose(@(YES)), true));
    EXPECT_TRUE(holds(loose(@(NO)), false));
    EXPECT_TRUE(holds(loose(@(42)), std::int64_t{42}));
    EXPECT_TRUE(holds(loose(@(-7)), std::int64_t{-7}));
    // A real stays a real even when it is whole; an integer beyond 64 signed bits becomes one.
    EXPECT_TRUE(holds(loose(@(3.0)), 3.0));
    EXPECT_TRUE(holds(loose(@(2.5)), 2.5));
    EXPECT_TRUE(holds(loose(@(UINT64_MAX)), 18446744073709551615.0));
    EXPECT_TRUE(holds(loose(@"Caf\u00e9"), std::string("Caf\xC3\xA9")));
    for (id unreadable : @[ [NSData data], [NSDate date], @{@1 : @"keyed by a number"} ]) {
        EXPECT_TRUE(std::holds_alternative<std::monostate>(loose(unreadable).value)) << [[unreadable description] UTF8String];
    }
    EXPECT_TRUE(std::holds_alternative<std::monostate>(looseValue(nullptr).value));

    const LooseValue nested = loose(@{@"Bounds" : @{@"X" : @10, @"Width" : @(320.5)}, @"List" : @[ @1, @"two" ]});
    ASSERT_NE(nested.dictionary(), nullptr);
    const LooseDictionary* bounds = nested.dictionary()->at("Bounds").dictionary();
    ASSERT_NE(bounds, nullptr);
    EXPECT_TRUE(holds(bounds->at("X"), std::int64_t{10}));
    EXPECT_TRUE(holds(bounds->at("Width"), 320.5));
    const LooseList* list = nested.dictionary()->at("List").list();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->size(), 2u);
    EXPECT_TRUE(holds((*list)[1], std::string("two")));
}

TEST(CoreFoundationValuesTest, WindowListKeepsOnlyWhatTheCoreReads) {
    NSDictionary* bounds = @{@"X" : @100, @"Y" : @50, @"Width" : @800, @"Height" : @600};
    NSArray* windows = @[
        @{
            (__bridge NSString*)kCGWindowOwnerPID : @42,
            (__bridge NSString*)kCGWindowLayer : @0,
            (__bridge NSString*)kCGWindowAlpha : @(1.0),
            (__bridge NSString*)kCGWindowBounds : bounds,
            @"kCGWindowName" : @"Privacy & Security",
            @"kCGWindowNumber" : @7,
        },
        @17,
    ];
    const auto list = windowListValue((__bridge CFArrayRef)windows);
    ASSERT_TRUE(list && list->list());
    const LooseDictionary* entry = (*list->list())[0].dictionary();
    ASSERT_NE(entry, nullptr);
    std::vector<std::string> keys;
    for (const auto& [key, value] : *entry) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"kCGWindowAlpha", "kCGWindowBounds", "kCGWindowLayer", "kCGWindowOwnerPID"}));
    EXPECT_TRUE(holds((*list->list())[1], std::int64_t{17}));  // not a dictionary: copied as it is
    EXPECT_FALSE(windowListValue(nullptr));

    // The core finds the window in what the shell made of the list (no screens: no conversion).
    const auto frame = windowServerFrame(42, std::optional<LooseValue>(LooseValue(LooseList{(*list->list())[0]})),
                                         [](const Rect& r) { return r; });
    EXPECT_EQ(frame, (Rect{100, 50, 800, 600}));
}

// Reads the result of a copied value and releases it.
AttributeResult read(AXError error, CFTypeRef value) {
    AttributeResult result = attributeResult(error, value);
    if (value) CFRelease(value);
    return result;
}

TEST(AccessibilityValuesTest, AttributeReadsBecomeThePortsAlternatives) {
    const AttributeResult failure = read(kAXErrorFailure, nullptr);
    ASSERT_TRUE(std::holds_alternative<AttributeError>(failure));
    EXPECT_EQ(std::get<AttributeError>(failure).code, -25200);
    EXPECT_TRUE(std::holds_alternative<NoValue>(read(kAXErrorSuccess, nullptr)));

    const CGPoint point = CGPointMake(12, -34.5);
    const CGSize size = CGSizeMake(800, 600);
    const CGRect rect = CGRectMake(1, 2, 3, 4);
    EXPECT_EQ(std::get<Point>(read(kAXErrorSuccess, AXValueCreate(kAXValueTypeCGPoint, &point))), (Point{12, -34.5}));
    EXPECT_EQ(std::get<Size>(read(kAXErrorSuccess, AXValueCreate(kAXValueTypeCGSize, &size))), (Size{800, 600}));
    EXPECT_EQ(std::get<OtherAXValue>(read(kAXErrorSuccess, AXValueCreate(kAXValueTypeCGRect, &rect))).type, 3);

    AXUIElementRef element = AXUIElementCreateApplication(getpid());
    EXPECT_TRUE(std::get<ElementRef>(read(kAXErrorSuccess, CFRetain(element))));
    NSArray* elements = @[ (__bridge id)element, (__bridge id)element ];
    EXPECT_EQ(std::get<ElementList>(read(kAXErrorSuccess, CFBridgingRetain(elements))).size(), 2u);
    EXPECT_TRUE(std::get<ElementList>(read(kAXErrorSuccess, CFBridgingRetain(@[]))).empty());
    NSArray* mixed = @[ (__bridge id)element, @"not an element" ];
    EXPECT_TRUE(std::holds_alternative<OtherValue>(read(kAXErrorSuccess, CFBridgingRetain(mixed))));
    EXPECT_TRUE(std::holds_alternative<OtherValue>(read(kAXErrorSuccess, CFBridgingRetain(@"AXWindow"))));
    CFRelease(element);

    // Elements compare by the platform's equality, not by identity.
    const Platform ports = makeMacSystemPlatform();
    EXPECT_TRUE(ports.accessibility->elementsEqual(ports.accessibility->applicationElement(getpid()),
                                                   ports.accessibility->applicationElement(getpid())));
    EXPECT_FALSE(ports.accessibility->elementsEqual(ports.accessibility->applicationElement(getpid()),
                                                    ports.accessibility->applicationElement(1)));
}

TEST(MacTextServicesTest, ComposesMatchesAndFindsScripts) {
    const auto text = makeMacSystemPlatform().textServices;
    EXPECT_EQ(text->canonicalForm("Cafe\xCC\x81"), "Caf\xC3\xA9");
    EXPECT_EQ(text->canonicalForm("/a/\xFF.app"), "/a/\xFF.app");  // not UTF-8: unchanged
    EXPECT_EQ(text->localeParts("zh-Hant-HK").language, "zh");
    EXPECT_EQ(text->localeParts("zh-Hant-HK").script, "Hant");
    EXPECT_EQ(text->localeParts("en-US").script, "");
    // NSOrthography documents only the form of its answer (an ISO 15924 code, "Zyyy" when no
    // script is identified, which the shell answers as none) and one example, Devanagari for
    // Hindi; which script it gives Chinese or Serbian it calls typical, not promised. Whatever it
    // answers must serve the core, which appends it to the language: the result names that script.
    EXPECT_EQ(text->likelyScript("hi"), "Deva");
    EXPECT_EQ(text->likelyScript(""), std::nullopt);
    for (const std::string language : {"zh-TW", "zh", "en", "sr", "ja", "hi", "ar"}) {
        const std::optional<std::string> script = text->likelyScript(language);
        if (!script) continue;
        const std::string& code = *script;  // an ISO 15924 code: one capital, three small letters
        EXPECT_TRUE(code.size() == 4 && code[0] >= 'A' && code[0] <= 'Z' &&
                    std::all_of(code.begin() + 1, code.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
            << language << " -> " << code;
        EXPECT_NE(code, "Zyyy") << language;
        const std::string base = text->localeParts(language).language;
        EXPECT_EQ(text->localeParts(base + "-" + code).script, code) << language;
    }
    const std::vector<std::string> available{"de", "en", "zh-Hans", "zh-Hant"};
    EXPECT_EQ(text->preferredLocalizations(available, {"zh-TW", "zh-Hant", "zh"}).front(), "zh-Hant");
    EXPECT_EQ(text->preferredLocalizations(available, {"de-AT", "de"}).front(), "de");
    EXPECT_FALSE(text->userPreferredLanguages().empty());
}

// Runs the main run loop (and with it the main queue) until `done` or `seconds` have passed.
void runUntil(const std::function<bool()>& done, double seconds = 2) {
    NSDate* deadline = [NSDate dateWithTimeIntervalSinceNow:seconds];
    while (!done() && [deadline timeIntervalSinceNow] > 0) CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.01, false);
}

TEST(MacMainLoopTest, PostsInOrderAndFiresTimersUntilInvalidated) {
    const auto loop = makeMacSystemPlatform().mainLoop;
    std::vector<std::string> steps;
    loop->post([&] { steps.push_back("first"); });
    loop->post([&] { steps.push_back("second"); });
    const auto cancelled = loop->scheduleOnce(0.01, [&] { steps.push_back("cancelled"); });
    cancelled->invalidate();
    EXPECT_FALSE(cancelled->isValid());
    const auto once = loop->scheduleOnce(0.02, [&] { steps.push_back("once"); });
    int ticks = 0;
    const auto repeating = loop->scheduleRepeating(0.01, RunLoopMode::common, [&] { ++ticks; });
    repeating->setTolerance(0.005);
    EXPECT_DOUBLE_EQ(repeating->tolerance(), 0.005);
    const double start = loop->now();
    runUntil([&] { return ticks >= 3 && !once->isValid(); });
    repeating->invalidate();
    const int ticksAtInvalidation = ticks;
    runUntil([] { return false; }, 0.1);

    EXPECT_EQ(steps, (std::vector<std::string>{"first", "second", "once"}));
    EXPECT_GE(ticksAtInvalidation, 3);
    EXPECT_EQ(ticks, ticksAtInvalidation);
    EXPECT_FALSE(repeating->isValid());
    EXPECT_GT(loop->now(), start);
}

}  // namespace
}  // namespace kestrum::macos
