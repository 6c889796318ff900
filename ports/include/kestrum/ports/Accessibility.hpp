#pragma once
// The accessibility interface: trust, elements, attribute reads with errors as values,
// and observers whose notifications arrive through the main run loop.
#include <cstdint>
#include <memory>
#include <string_view>
#include <variant>
#include <vector>

#include "kestrum/Geometry.hpp"

namespace kestrum {

// An opaque element of another application; compared only through Accessibility::elementsEqual.
class AccessibilityElement {
public:
    virtual ~AccessibilityElement() = default;
};
using ElementRef = std::shared_ptr<const AccessibilityElement>;

// What a read of an attribute gives. The alternatives mirror what the platform can answer:
// an error, success with no value, a typed value (point = type 1, size = type 2, any other
// value type by its number), one element, a list of elements, or some other kind of value.
struct AttributeError {
    int code = -25200;  // the platform's generic failure
};
struct NoValue {};
struct OtherAXValue {
    int type = 0;
};
struct OtherValue {};
using ElementList = std::vector<ElementRef>;
using AttributeResult =
    std::variant<AttributeError, NoValue, Point, Size, OtherAXValue, ElementRef, ElementList, OtherValue>;

class AccessibilityObserver;
// One function serves every notification; `context` is the value given at registration.
using AccessibilityCallback = void (*)(void* context);

class AccessibilityObserver {
public:
    virtual ~AccessibilityObserver() = default;
    // Registers a notification on an element; false when the platform refused (callers ignore it).
    virtual bool addNotification(const ElementRef& element, std::string_view notification, void* context) = 0;
    // Puts the observer's event source into the main run loop (common modes), or takes it out.
    virtual void addToMainRunLoop() = 0;
    virtual void removeFromMainRunLoop() = 0;
};

class Accessibility {
public:
    // The longest a read of an element the port gives out waits for the other application: one
    // that does not answer in time fails with an error (a missed tracker step), so a stalled
    // application never stalls the main thread for longer.
    static constexpr double readTimeout = 0.25;

    virtual ~Accessibility() = default;
    virtual bool isProcessTrusted() = 0;
    // Asks the system to prompt for access when the process lacks it; answers the current trust.
    virtual bool isProcessTrustedWithPrompt() = 0;
    virtual ElementRef applicationElement(std::int32_t processIdentifier) = 0;
    virtual AttributeResult copyAttributeValue(const ElementRef& element, std::string_view attribute) = 0;
    // An observer for a process calling `callback`, or nullptr when it cannot be made.
    virtual std::unique_ptr<AccessibilityObserver> createObserver(std::int32_t processIdentifier,
                                                                  AccessibilityCallback callback) = 0;
    virtual bool elementsEqual(const ElementRef& a, const ElementRef& b) = 0;
};

}  // namespace kestrum
