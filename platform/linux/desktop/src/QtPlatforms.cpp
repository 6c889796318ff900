#include "QtPlatforms.hpp"

#include <dirent.h>
#include <sys/resource.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

#include "kestrum/linux/StartupWatch.hpp"

namespace kestrum::desktop {
namespace {

std::vector<std::string_view> entriesOf(std::string_view list) {
    std::vector<std::string_view> entries;
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(';', start), list.size());
        if (end > start) entries.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

// Qt compares platform names without regard to case.
std::string platformName(std::string_view entry) {
    std::string name(entry.substr(0, entry.find(':')));
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name;
}

const char* nonEmptyVariable(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

std::optional<double> number(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

bool usableScale(std::optional<double> scale) {
    return scale && *scale >= QtEnvironment::smallestScale && *scale <= QtEnvironment::largestScale;
}

// QT_SCREEN_SCALE_FACTORS: factors separated by ';', each alone or after a screen's name and '='.
bool usableScreenScales(std::string_view list) {
    const auto entries = entriesOf(list);
    return std::all_of(entries.begin(), entries.end(), [](std::string_view entry) {
        const auto equals = entry.rfind('=');
        return usableScale(number(equals == std::string_view::npos ? entry : entry.substr(equals + 1)));
    });
}

void dropUnless(const char* name, bool (*usable)(std::string_view)) {
    if (const char* value = std::getenv(name); value && !usable(value)) ::unsetenv(name);
}

}  // namespace

std::string defaultQtPlatforms(const char* display, const char* waylandDisplay) {
    if (display && *display) return "xcb;" + std::string(offscreenPlatform);
    if (waylandDisplay && *waylandDisplay) return "wayland;" + std::string(offscreenPlatform);
    return std::string(offscreenPlatform);
}

std::string withFallbacks(std::string_view named, std::string_view defaults) {
    std::vector<std::string> names;
    std::string platforms;
    const auto add = [&](std::string_view entry) {
        if (!platforms.empty()) platforms += ';';
        platforms += entry;
        names.push_back(platformName(entry));
    };
    for (const auto entry : entriesOf(named)) add(entry);
    for (const auto entry : entriesOf(defaults)) {
        if (std::find(names.begin(), names.end(), platformName(entry)) == names.end()) add(entry);
    }
    return platforms;
}

QtPlatformChoice chooseQtPlatforms() {
    const std::string variable(restartPlatformsVariable);
    const std::string defaults = defaultQtPlatforms(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"));
    QtPlatformChoice choice;
    if (const char* restarted = nonEmptyVariable(variable.c_str())) {
        choice.platforms = restarted;
    } else if (const char* named = nonEmptyVariable("QT_QPA_PLATFORM")) {
        choice.platforms = withFallbacks(named, defaults);
    } else {
        choice.platforms = defaults;
    }
    ::unsetenv(variable.c_str());
    if (choice.platforms != defaults) {
        choice.fallback = defaults;
    } else if (choice.platforms != offscreenPlatform) {
        choice.fallback = offscreenPlatform;
    }
    return choice;
}

void QtEnvironment::dropUnusableSettings() {
    ::unsetenv("QT_FATAL_WARNINGS");
    ::unsetenv("QT_FATAL_CRITICALS");
    dropUnless("QT_SCALE_FACTOR", [](std::string_view value) { return usableScale(number(value)); });
    dropUnless("QT_SCREEN_SCALE_FACTORS", usableScreenScales);
    dropUnless("QT_FONT_DPI", [](std::string_view value) {
        const auto dpi = number(value);
        return usableScale(dpi ? std::optional<double>(*dpi / standardFontDpi) : std::nullopt);
    });
}

bool QtEnvironment::enoughDescriptors() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return true;
    DIR* folder = ::opendir("/proc/self/fd");
    if (!folder) return false;  // not even one descriptor is free (or no /proc to count them)
    rlim_t open = 0;
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] != '.') ++open;
    }
    ::closedir(folder);
    return limit.rlim_cur >= open + static_cast<rlim_t>(descriptorsForQt);
}

}  // namespace kestrum::desktop
