// Launching, opening URLs and running applications through NSWorkspace and
// NSRunningApplication (AppKit, loaded on first use).
#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>
#include <dispatch/dispatch.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "MacFrameworks.hpp"
#include "MacPorts.hpp"

namespace kestrum::macos {
namespace {

// The port numbers its policies as AppKit does.
RunningApplication describe(NSRunningApplication* application) {
    RunningApplication result;
    result.processIdentifier = application.processIdentifier;
    if (NSString* bundleIdentifier = application.bundleIdentifier) result.bundleIdentifier = bundleIdentifier.UTF8String;
    result.activationPolicy = static_cast<ActivationPolicy>(application.activationPolicy);
    return result;
}

// How long giving the focus back waits for Launch Services to take the request, in nanoseconds.
constexpr std::int64_t activationAnswerWait = 500'000'000;

NSURL* nsURL(const URL& url) { return [NSURL URLWithString:@(url.absoluteString().c_str())]; }

class MacWorkspace final : public Workspace {
public:
    void launchApplication(const URL& applicationURL) override {
        NSURL* location = nsURL(applicationURL);
        if (!location) return;
        // A default configuration activates what it launches. The handler runs on a
        // concurrent queue and must touch nothing: the outcome is not reported.
        [workspace() openApplicationAtURL:location
                            configuration:KESTRUM_FRAMEWORK_SEND(appKit, NSWorkspaceOpenConfiguration, configuration)
                        completionHandler:^(NSRunningApplication*, NSError*){
                        }];
    }

    bool openURL(const URL& url) override {
        NSURL* location = nsURL(url);
        return location && [workspace() openURL:location];
    }

    std::vector<RunningApplication> runningApplications(std::string_view bundleIdentifier) override {
        std::vector<RunningApplication> result;
        NSString* identifier = [[NSString alloc] initWithBytes:bundleIdentifier.data()
                                                        length:bundleIdentifier.size()
                                                      encoding:NSUTF8StringEncoding];
        if (!identifier) return result;
        for (NSRunningApplication* application in
             KESTRUM_FRAMEWORK_SEND(appKit, NSRunningApplication, runningApplicationsWithBundleIdentifier:identifier)) {
            result.push_back(describe(application));
        }
        return result;
    }

    std::optional<RunningApplication> runningApplication(std::int32_t processIdentifier) override {
        NSRunningApplication* application = running(processIdentifier);
        if (!application) return std::nullopt;
        return describe(application);
    }

    void activateIgnoringOtherApps(const RunningApplication& target) override {
        NSRunningApplication* application = running(target.processIdentifier);
        if (!application) return;
        if (@available(macOS 14.0, *)) {
            // Activation is cooperative: a request on behalf of this process, which the system
            // grants only when the active application yielded; ignoring other applications is no
            // longer an option. This process is an accessory that never holds activation, so the
            // request is usually refused (the call answers NO). Then Launch Services opens the
            // application's bundle with `activates` set, which asks the system to activate the
            // running application and bring it to the foreground: the nearest thing to activating
            // it regardless of the active one that the platform still offers. Whether it comes
            // forward either way is the system's choice.
            NSRunningApplication* current = KESTRUM_FRAMEWORK_SEND(appKit, NSRunningApplication, currentApplication);
            if ([application activateFromApplication:current options:0]) return;
            NSURL* bundle = application.bundleURL;
            if (!bundle) return;
            NSWorkspaceOpenConfiguration* configuration =
                KESTRUM_FRAMEWORK_SEND(appKit, NSWorkspaceOpenConfiguration, configuration);
            configuration.activates = YES;
            // The request is asynchronous, and the flow may end the process right after it
            // (authorize --close-when-granted); a request not yet handed to Launch Services would
            // go with the process (the X11 desktop lost its activations that way under load). So
            // wait, briefly and bounded, for the answer, which AppKit gives on a concurrent queue
            // and never on this thread.
            dispatch_semaphore_t answered = dispatch_semaphore_create(0);
            [workspace() openApplicationAtURL:bundle
                                configuration:configuration
                            completionHandler:^(NSRunningApplication*, NSError*) {
                              dispatch_semaphore_signal(answered);
                            }];
            dispatch_semaphore_wait(answered, dispatch_time(DISPATCH_TIME_NOW, activationAnswerWait));
        } else {
            // The option is deprecated from macOS 14 on; a build that cannot run on 13 leaves it out.
#if !defined(__MAC_OS_X_VERSION_MIN_REQUIRED) || __MAC_OS_X_VERSION_MIN_REQUIRED < 140000
            [application activateWithOptions:NSApplicationActivateIgnoringOtherApps];
#endif
        }
    }

    std::optional<RunningApplication> frontmostApplication() override {
        NSRunningApplication* application = workspace().frontmostApplication;
        if (!application) return std::nullopt;
        return describe(application);
    }

    Subscription observeApplicationActivation(std::function<void()> handler) override {
        NSNotificationCenter* center = workspace().notificationCenter;
        NSNotificationName name =
            KESTRUM_FRAMEWORK_CONSTANT(appKit, NSWorkspaceDidActivateApplicationNotification);
        if (!center || !name) return Subscription{};
        id observer = [center addObserverForName:name
                                          object:nil
                                           queue:[NSOperationQueue mainQueue]
                                      usingBlock:^(NSNotification*) {
                                        handler();
                                      }];
        return Subscription([center, observer] { [center removeObserver:observer]; });
    }

private:
    static NSWorkspace* workspace() { return KESTRUM_FRAMEWORK_SEND(appKit, NSWorkspace, sharedWorkspace); }
    static NSRunningApplication* running(std::int32_t processIdentifier) {
        return KESTRUM_FRAMEWORK_SEND(appKit, NSRunningApplication, runningApplicationWithProcessIdentifier:processIdentifier);
    }
};

}  // namespace

std::shared_ptr<Workspace> makeWorkspace() { return std::make_shared<MacWorkspace>(); }

}  // namespace kestrum::macos
