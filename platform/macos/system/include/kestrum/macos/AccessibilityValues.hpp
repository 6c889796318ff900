#pragma once
// Accessibility elements of the macOS shell and the translation of an attribute read into the
// port's result alternatives.
#include <ApplicationServices/ApplicationServices.h>

#include "kestrum/ports/Accessibility.hpp"

namespace kestrum::macos {

// An element of another application; owns one reference to the AXUIElementRef.
class MacAccessibilityElement final : public AccessibilityElement {
public:
    // Takes over the caller's reference.
    explicit MacAccessibilityElement(AXUIElementRef element) : element_(element) {}
    ~MacAccessibilityElement() override;
    MacAccessibilityElement(const MacAccessibilityElement&) = delete;
    MacAccessibilityElement& operator=(const MacAccessibilityElement&) = delete;

    AXUIElementRef element() const { return element_; }

private:
    AXUIElementRef element_;
};

// The result of AXUIElementCopyAttributeValue: the error, or the value it copied (which the
// caller still owns). Point and size AXValues become points and sizes, other AXValues their
// type; an element becomes an element; an array of nothing but elements a list of elements;
// anything else, an array holding anything but elements included, another value.
AttributeResult attributeResult(AXError error, CFTypeRef value);

}  // namespace kestrum::macos
