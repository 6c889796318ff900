#pragma once
// What a host hands the flow controller when it makes one.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kestrum/URL.hpp"

namespace kestrum {

struct KestrumConfiguration {
    // Application bundles always offered; they seed the controller's dropped applications.
    // Stored as given: the controller filters them.
    std::vector<URL> requiredAppURLs;
    // Whether starting the window tracker asks the system to prompt for accessibility access.
    bool promptForAccessibilityTrust;
    // Locale of the flow's texts; absent means the user's own language preferences.
    std::optional<std::string> localeIdentifier;

    KestrumConfiguration(std::vector<URL> requiredAppURLs, bool promptForAccessibilityTrust,
                         std::optional<std::string> localeIdentifier)
        : requiredAppURLs(std::move(requiredAppURLs)),
          promptForAccessibilityTrust(promptForAccessibilityTrust),
          localeIdentifier(std::move(localeIdentifier)) {}
};

}  // namespace kestrum
