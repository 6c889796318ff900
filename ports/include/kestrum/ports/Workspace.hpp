#pragma once
// Launching, opening URLs, running applications and the frontmost application.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrum/Subscription.hpp"
#include "kestrum/URL.hpp"

namespace kestrum {

enum class ActivationPolicy : int { regular = 0, accessory = 1, prohibited = 2 };

struct RunningApplication {
    std::int32_t processIdentifier = 0;
    std::optional<std::string> bundleIdentifier;
    ActivationPolicy activationPolicy = ActivationPolicy::regular;
    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

class Workspace {
public:
    virtual ~Workspace() = default;
    // Asynchronous launch (bringing the application forward); its outcome is not reported.
    virtual void launchApplication(const URL& applicationURL) = 0;
    // Hands the URL to its handler; true when the handler accepted it.
    virtual bool openURL(const URL& url) = 0;
    // Running applications with this bundle identifier, in the system's order.
    virtual std::vector<RunningApplication> runningApplications(std::string_view bundleIdentifier) = 0;
    virtual std::optional<RunningApplication> runningApplication(std::int32_t processIdentifier) = 0;
    // Activates the application, ignoring other applications; the outcome is not reported.
    virtual void activateIgnoringOtherApps(const RunningApplication& application) = 0;
    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    // Called on the main thread each time any application becomes active.
    virtual Subscription observeApplicationActivation(std::function<void()> handler) = 0;
};

}  // namespace kestrum
