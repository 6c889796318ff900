// The accessibility interface of other applications (ApplicationServices): trust, elements,
// attribute reads and observers whose run-loop sources join the main run loop.
#import <ApplicationServices/ApplicationServices.h>
#import <CoreFoundation/CoreFoundation.h>
#import <Foundation/Foundation.h>

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>

#include "MacPorts.hpp"
#include "kestrum/macos/AccessibilityValues.hpp"

namespace kestrum::macos {

MacAccessibilityElement::~MacAccessibilityElement() {
    if (element_) CFRelease(element_);
}

namespace {

// Every element given out has the port's read timeout: the system's default lets a read wait
// for seconds, and a timeout set on an element holds for that element object only, not for
// others equal to it.
ElementRef adoptElement(AXUIElementRef element) {
    if (!element) return nullptr;
    AXUIElementSetMessagingTimeout(element, static_cast<float>(Accessibility::readTimeout));
    return std::make_shared<const MacAccessibilityElement>(element);
}

AXUIElementRef axElement(const ElementRef& element) {
    const auto* mac = dynamic_cast<const MacAccessibilityElement*>(element.get());
    return mac ? mac->element() : nullptr;
}

// The element an attribute value holds, with a reference of its own.
ElementRef retainElement(CFTypeRef value) {
    return adoptElement(static_cast<AXUIElementRef>(CFRetain(value)));
}

}  // namespace

AttributeResult attributeResult(AXError error, CFTypeRef value) {
    if (error != kAXErrorSuccess) return AttributeError{static_cast<int>(error)};
    if (!value) return NoValue{};
    const CFTypeID type = CFGetTypeID(value);
    if (type == AXValueGetTypeID()) {
        const auto axValue = static_cast<AXValueRef>(value);
        const AXValueType valueType = AXValueGetType(axValue);
        if (valueType == kAXValueTypeCGPoint) {
            CGPoint point{};
            if (AXValueGetValue(axValue, kAXValueTypeCGPoint, &point)) return Point{point.x, point.y};
        } else if (valueType == kAXValueTypeCGSize) {
            CGSize size{};
            if (AXValueGetValue(axValue, kAXValueTypeCGSize, &size)) return Size{size.width, size.height};
        }
        return OtherAXValue{static_cast<int>(valueType)};
    }
    if (type == AXUIElementGetTypeID()) return retainElement(value);
    if (type == CFArrayGetTypeID()) {
        const auto array = static_cast<CFArrayRef>(value);
        ElementList elements;
        const CFIndex count = CFArrayGetCount(array);
        for (CFIndex index = 0; index < count; ++index) {
            const void* item = CFArrayGetValueAtIndex(array, index);
            if (!item || CFGetTypeID(item) != AXUIElementGetTypeID()) return OtherValue{};
            elements.push_back(retainElement(item));
        }
        return elements;
    }
    return OtherValue{};
}

namespace {

// One notification registration: what the observer's callback passes on, and to whom.
struct Registration {
    AccessibilityCallback callback;
    void* context;
};

void observerCallback(AXObserverRef, AXUIElementRef, CFStringRef, void* refcon) {
    const auto* registration = static_cast<const Registration*>(refcon);
    if (registration && registration->callback) registration->callback(registration->context);
}

class MacAccessibilityObserver final : public AccessibilityObserver {
public:
    MacAccessibilityObserver(AXObserverRef observer, AccessibilityCallback callback)
        : observer_(observer), callback_(callback) {}
    // The source leaves the run loop with the observer, so no notification can reach a
    // registration that is gone.
    ~MacAccessibilityObserver() override {
        removeFromMainRunLoop();
        CFRelease(observer_);
    }
    MacAccessibilityObserver(const MacAccessibilityObserver&) = delete;
    MacAccessibilityObserver& operator=(const MacAccessibilityObserver&) = delete;

    bool addNotification(const ElementRef& element, std::string_view notification, void* context) override {
        AXUIElementRef target = axElement(element);
        NSString* name = [[NSString alloc] initWithBytes:notification.data()
                                                  length:notification.size()
                                                encoding:NSUTF8StringEncoding];
        if (!target || !name) return false;
        Registration& registration = registrations_.emplace_back(Registration{callback_, context});
        return AXObserverAddNotification(observer_, target, (__bridge CFStringRef)name, &registration) ==
               kAXErrorSuccess;
    }

    void addToMainRunLoop() override {
        CFRunLoopAddSource(CFRunLoopGetMain(), AXObserverGetRunLoopSource(observer_), kCFRunLoopCommonModes);
    }

    void removeFromMainRunLoop() override {
        CFRunLoopRemoveSource(CFRunLoopGetMain(), AXObserverGetRunLoopSource(observer_), kCFRunLoopCommonModes);
    }

private:
    AXObserverRef observer_;
    AccessibilityCallback callback_;
    std::list<Registration> registrations_;  // stable addresses: they are the refcons
};

class MacAccessibility final : public Accessibility {
public:
    bool isProcessTrusted() override { return AXIsProcessTrusted(); }

    bool isProcessTrustedWithPrompt() override {
        NSDictionary* options = @{(__bridge NSString*)kAXTrustedCheckOptionPrompt : @(YES)};
        return AXIsProcessTrustedWithOptions((__bridge CFDictionaryRef)options);
    }

    ElementRef applicationElement(std::int32_t processIdentifier) override {
        return adoptElement(AXUIElementCreateApplication(processIdentifier));
    }

    AttributeResult copyAttributeValue(const ElementRef& element, std::string_view attribute) override {
        AXUIElementRef source = axElement(element);
        NSString* name = [[NSString alloc] initWithBytes:attribute.data()
                                                  length:attribute.size()
                                                encoding:NSUTF8StringEncoding];
        if (!source || !name) return AttributeError{static_cast<int>(kAXErrorIllegalArgument)};
        CFTypeRef value = nullptr;
        const AXError error = AXUIElementCopyAttributeValue(source, (__bridge CFStringRef)name, &value);
        AttributeResult result = attributeResult(error, value);
        if (value) CFRelease(value);
        return result;
    }

    std::unique_ptr<AccessibilityObserver> createObserver(std::int32_t processIdentifier,
                                                          AccessibilityCallback callback) override {
        AXObserverRef observer = nullptr;
        if (AXObserverCreate(processIdentifier, observerCallback, &observer) != kAXErrorSuccess || !observer) {
            return nullptr;
        }
        return std::make_unique<MacAccessibilityObserver>(observer, callback);
    }

    bool elementsEqual(const ElementRef& a, const ElementRef& b) override {
        AXUIElementRef first = axElement(a);
        AXUIElementRef second = axElement(b);
        if (!first || !second) return first == second;
        return CFEqual(first, second);
    }
};

}  // namespace

std::shared_ptr<Accessibility> makeAccessibility() { return std::make_shared<MacAccessibility>(); }

}  // namespace kestrum::macos
