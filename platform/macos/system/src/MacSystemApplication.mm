// The process as an application before (or without) the AppKit half: it runs the main run
// loop, which also serves the main dispatch queue. It has no presence on screen, so there is
// no activation policy to change until NSApplication exists.
#import <ApplicationServices/ApplicationServices.h>
#import <CoreFoundation/CoreFoundation.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "MacPorts.hpp"

namespace kestrum::macos {
namespace {

class MacSystemApplication final : public Application {
public:
    void run() override { CFRunLoopRun(); }
    void setActivationPolicy(ActivationPolicy) override {}
    [[noreturn]] void terminate() override {
        std::fflush(nullptr);
        std::exit(0);
    }
    // An event made now carries the pointer; unflipped, its origin is the bottom-left corner
    // of the main display, as the port's global coordinates are.
    Point mouseLocation() override {
        CGEventRef event = CGEventCreate(nullptr);
        if (!event) return Point{};
        const CGPoint location = CGEventGetUnflippedLocation(event);
        CFRelease(event);
        return Point{location.x, location.y};
    }
};

}  // namespace

std::shared_ptr<Application> makeSystemApplication() { return std::make_shared<MacSystemApplication>(); }

}  // namespace kestrum::macos
