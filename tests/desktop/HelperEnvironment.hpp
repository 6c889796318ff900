#pragma once
// Environment pieces for tests that start the helper as a process.
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace kestrum::desktop {

// The helper the end-to-end tests run: the build tree's, or an installed one named by
// KESTRUM_HELPER_UNDER_TEST (the installed-package check sets it).
inline std::string helperUnderTest() {
    const char* installed = std::getenv("KESTRUM_HELPER_UNDER_TEST");
    return installed && *installed ? installed : KESTRUM_HELPER_PATH;
}

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

// This process's environment without any display setting, with the suppressions above; the
// shell then chooses the off-screen platform unless a test adds a display.
inline std::vector<std::string> environmentWithoutDisplay() {
    std::vector<std::string> result;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text(*entry);
        if (text.rfind("DISPLAY=", 0) == 0 || text.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
            text.rfind("QT_QPA_PLATFORM=", 0) == 0) {
            continue;
        }
        result.push_back(text);
    }
    addThreadSanitizerSuppressions(result);
    return result;
}

}  // namespace kestrum::desktop
