// The window server's list and the displays (CoreGraphics), and the screens (NSScreen, AppKit
// loaded on first use).
#import <AppKit/AppKit.h>
#import <CoreGraphics/CoreGraphics.h>
#import <Foundation/Foundation.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "MacFrameworks.hpp"
#include "MacPorts.hpp"
#include "kestrum/macos/CoreFoundationValues.hpp"

namespace kestrum::macos {
namespace {

Rect rect(NSRect r) { return Rect{r.origin.x, r.origin.y, r.size.width, r.size.height}; }

class MacWindowServer final : public WindowServer {
public:
    std::optional<LooseValue> copyWindowList(std::uint32_t options, std::uint32_t relativeToWindow) override {
        CFArrayRef list = CGWindowListCopyWindowInfo(options, relativeToWindow);
        std::optional<LooseValue> result = windowListValue(list);
        if (list) CFRelease(list);
        return result;
    }

    Rect displayBounds(std::uint32_t displayIdentifier) override { return rect(CGDisplayBounds(displayIdentifier)); }

    std::vector<ScreenDescription> screens() override {
        std::vector<ScreenDescription> result;
        for (NSScreen* screen in KESTRUM_FRAMEWORK_SEND(appKit, NSScreen, screens)) {
            ScreenDescription& description = result.emplace_back();
            description.frame = rect(screen.frame);
            description.visibleFrame = rect(screen.visibleFrame);
            if (id number = screen.deviceDescription[@"NSScreenNumber"]) {
                description.displayNumber = looseValue((__bridge CFTypeRef)number);
            }
        }
        return result;
    }
};

}  // namespace

std::shared_ptr<WindowServer> makeWindowServer() { return std::make_shared<MacWindowServer>(); }

}  // namespace kestrum::macos
