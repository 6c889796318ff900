#include "kestrum/ResourceBundle.hpp"

#include <algorithm>

#include "kestrum/ports/Platform.hpp"

#ifndef KESTRUM_RESOURCE_BUNDLE_BUILD_PATH
#error "KESTRUM_RESOURCE_BUNDLE_BUILD_PATH must name the build tree's resource bundle"
#endif

namespace kestrum {
namespace {

constexpr std::string_view kLocalizationType = "lproj";

std::string joinPath(std::string_view directory, std::string_view name) {
    std::string path(directory);
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

}  // namespace

std::optional<ResourceBundle> ResourceBundle::open(std::string path) {
    const auto& fileSystem = platform().fileSystem;
    if (!fileSystem || path.empty()) return std::nullopt;
    if (!fileSystem->contentsOfDirectory(path)) return std::nullopt;
    return ResourceBundle(std::move(path));
}

std::vector<std::string> ResourceBundle::localizations() const {
    std::vector<std::string> result;
    const auto& fileSystem = platform().fileSystem;
    if (!fileSystem) return result;
    const auto entries = fileSystem->contentsOfDirectory(path_);
    if (!entries) return result;
    const std::string suffix = "." + std::string(kLocalizationType);
    for (const auto& entry : *entries) {
        if (entry.size() > suffix.size() && entry.ends_with(suffix)) {
            result.push_back(entry.substr(0, entry.size() - suffix.size()));
        }
    }
    std::sort(result.begin(), result.end());
    result.erase(std::unique(result.begin(), result.end()), result.end());
    return result;
}

std::optional<std::string> ResourceBundle::pathForResource(std::string_view name, std::string_view type) const {
    const auto& fileSystem = platform().fileSystem;
    if (!fileSystem || name.empty() || name.find('/') != std::string_view::npos) return std::nullopt;
    std::string fileName(name);
    if (!type.empty()) fileName += "." + std::string(type);
    const auto entries = fileSystem->contentsOfDirectory(path_);
    if (!entries || std::find(entries->begin(), entries->end(), fileName) == entries->end()) return std::nullopt;
    return joinPath(path_, fileName);
}

std::optional<StringsTable> ResourceBundle::defaultStringTable() const {
    const auto& fileSystem = platform().fileSystem;
    if (!fileSystem) return std::nullopt;
    const auto text = fileSystem->readFile(joinPath(path_, kDefaultStringTableName));
    if (!text) return std::nullopt;
    // A malformed table counts as missing: every lookup then gives its default text.
    return StringsTable::parse(*text).table;
}

std::string ResourceBundle::localizedString(std::string_view key, std::string_view defaultValue) const {
    if (auto table = defaultStringTable()) {
        if (auto text = table->lookup(key)) return *text;
    }
    return std::string(defaultValue);
}

std::string ResourceBundle::localizedStringForUserLanguages(std::string_view key,
                                                            std::string_view defaultValue) const {
    const std::vector<std::string> available = localizations();
    std::optional<std::string> chosen;
    if (const auto& textServices = platform().textServices) {
        const auto matches = textServices->preferredLocalizations(available, textServices->userPreferredLanguages());
        if (!matches.empty()) chosen = matches.front();
    }
    if (!chosen && std::find(available.begin(), available.end(), kDevelopmentLocalization) != available.end()) {
        chosen = std::string(kDevelopmentLocalization);
    }
    if (!chosen) return std::string(defaultValue);
    const auto directory = pathForResource(*chosen, kLocalizationType);
    if (!directory) return std::string(defaultValue);
    const auto localization = ResourceBundle::open(*directory);
    if (!localization) return std::string(defaultValue);
    return localization->localizedString(key, defaultValue);
}

std::string ResourceBundleAccessor::besideMainBundlePath(FileSystem& fileSystem) {
    return joinPath(fileSystem.mainBundlePath(), kResourceBundleName);
}

std::optional<ResourceBundle> ResourceBundleAccessor::bundle() {
    std::string failureMessage;
    {
        std::lock_guard lock(mutex_);
        const std::shared_ptr<FileSystem> fileSystem = platform().fileSystem;
        if (!fileSystem) return std::nullopt;
        if (resolved_ && resolvedFor_.lock() == fileSystem) return bundle_;

        resolved_ = true;
        resolvedFor_ = fileSystem;
        const std::string first = besideMainBundlePath(*fileSystem);
        bundle_ = ResourceBundle::open(first);
        if (!bundle_) bundle_ = ResourceBundle::open(buildTimePath_);
        if (bundle_) return bundle_;
        failureMessage = "could not load resource bundle: from " + first + " or " + buildTimePath_ + "\n";
    }
    // Outside the lock: ending the process runs exit handlers.
    if (const auto& output = platform().output) {
        output->writeStandardError(failureMessage, ResourceBundleAccessor::kFailureMessageTimeLimit);
        output->exitProcess(1);
    }
    return std::nullopt;
}

std::string_view resourceBundleBuildPath() { return KESTRUM_RESOURCE_BUNDLE_BUILD_PATH; }

std::optional<ResourceBundle> resourceBundleModule() {
    static ResourceBundleAccessor accessor{std::string(resourceBundleBuildPath())};
    return accessor.bundle();
}

}  // namespace kestrum
