#pragma once
// The accessibility interface and the window server as seen without a display connection:
// reads fail as values, no window or screen is known. The desktop shell replaces them.
#include "kestrum/ports/Accessibility.hpp"
#include "kestrum/ports/WindowServer.hpp"

namespace kestrum {

class HeadlessAccessibility : public Accessibility {
public:
    // Same answer as LinuxPermissionQueries: the accessibility bus is open to the process.
    bool isProcessTrusted() override { return true; }
    bool isProcessTrustedWithPrompt() override { return true; }
    ElementRef applicationElement(std::int32_t) override { return nullptr; }
    AttributeResult copyAttributeValue(const ElementRef&, std::string_view) override { return AttributeError{}; }
    std::unique_ptr<AccessibilityObserver> createObserver(std::int32_t, AccessibilityCallback) override {
        return nullptr;
    }
    bool elementsEqual(const ElementRef& a, const ElementRef& b) override { return a == b; }
};

class HeadlessWindowServer : public WindowServer {
public:
    std::optional<LooseValue> copyWindowList(std::uint32_t, std::uint32_t) override { return std::nullopt; }
    Rect displayBounds(std::uint32_t) override { return Rect{}; }
    std::vector<ScreenDescription> screens() override { return {}; }
};

}  // namespace kestrum
