#pragma once
// Environment pieces for tests that start the helper as a process.
#include <string>
#include <vector>

namespace kestrum::desktop {

// In the thread-sanitizer build the helper is told which third-party reports to drop (the
// other builds ignore the variable).
inline void addThreadSanitizerSuppressions(std::vector<std::string>& environment) {
    const std::string suppressions = "suppressions=" KESTRUM_TSAN_SUPPRESSIONS;
    for (auto& entry : environment) {
        if (entry.rfind("TSAN_OPTIONS=", 0) == 0) {
            entry += ":" + suppressions;
            return;
        }
    }
    environment.push_back("TSAN_OPTIONS=" + suppressions);
}

}  // namespace kestrum::desktop
