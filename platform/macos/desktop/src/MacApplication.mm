// The process as an AppKit application: NSApplication's event loop (which also serves the
// main dispatch queue and the main run loop's timers), its activation policy, termination
// and the pointer.
#import <AppKit/AppKit.h>

#include <memory>

#include "MacDesktopPorts.hpp"

namespace kestrum::macos {
namespace {

class MacApplication final : public Application {
public:
    MacApplication() : application_([NSApplication sharedApplication]) {}

    void run() override { [application_ run]; }

    // The port numbers its policies as AppKit does.
    void setActivationPolicy(ActivationPolicy policy) override {
        [application_ setActivationPolicy:static_cast<NSApplicationActivationPolicy>(policy)];
    }

    // The application's normal termination; it ends the process with exit code 0.
    void terminate() override { [application_ terminate:nil]; }

    Point mouseLocation() override {
        const NSPoint location = [NSEvent mouseLocation];
        return Point{location.x, location.y};
    }

private:
    NSApplication* application_;
};

}  // namespace

std::shared_ptr<Application> makeApplication() { return std::make_shared<MacApplication>(); }

}  // namespace kestrum::macos
