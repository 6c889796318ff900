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

// "<name>.<type>", or the name alone without a type. Appended piece by piece: GCC 12 reports a
// false overlap (-Wrestrict) for `"." + std::string(...)` when it inlines at -O3.
std::string fileName(std::string_view name, std::string_view type) {
    std::string result(name);
    if (!type.empty()) {
        result += '.';
        result += type;
    }
    return result;
}

std::string_view withoutTrailingSeparators(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path;
}

std::string_view lastComponent(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The folder that holds `path` ("/" for a top-level entry); `path` is absolute without
// trailing separators.
std::string_view parentFolder(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos || slash == 0) return "/";
    return path.substr(0, slash);
}

// True when no other user could have put the folder at `path` there or changed what it holds:
// the folder and every folder above it (symbolic links resolved) belong to the user or the
// administrator, and none is writable by group or others, except that a folder above may be
// shared when only an entry's owner can rename or remove it (as /tmp is).
bool isSafeFromOtherUsers(FileSystem& fileSystem, std::string_view path) {
    const auto resolved = fileSystem.resolvedPath(path);
    if (!resolved || resolved->empty() || resolved->front() != '/') return false;
    std::string_view current = withoutTrailingSeparators(*resolved);
    for (bool isTarget = true;; isTarget = false) {
        const auto facts = fileSystem.ownership(current);
        if (!facts || !(facts->ownedByCurrentUser || facts->ownedByAdministrator)) return false;
        const bool shared = facts->writableByGroup || facts->writableByOthers;
        if (shared && (isTarget || !facts->restrictedDeletion)) return false;
        if (current == "/") return true;
        current = parentFolder(current);
    }
}

std::string& buildPathSetting() {
    static std::string path(KESTRUM_RESOURCE_BUNDLE_BUILD_PATH);
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
    const std::string suffix = fileName("", kLocalizationType);
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
    const std::string entry = fileName(name, type);
    const auto entries = fileSystem->contentsOfDirectory(path_);
    if (!entries || std::find(entries->begin(), entries->end(), entry) == entries->end()) return std::nullopt;
    return joinPath(path_, entry);
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

std::optional<std::string> ResourceBundleAccessor::enclosingBundleResourcesPath(std::string_view mainBundlePath) {
    const std::string_view folder = withoutTrailingSeparators(mainBundlePath);
    const std::string_view leaf = lastComponent(folder);
    std::string contents;
    if (leaf.size() > 4 && leaf.ends_with(".app")) {
        // A program in Contents/MacOS may be given its application as its main bundle.
        contents = joinPath(folder, "Contents");
    } else if (folder != "/" && (leaf == "Helpers" || leaf == "MacOS") &&
               lastComponent(parentFolder(folder)) == "Contents") {
        contents = parentFolder(folder);
    } else {
        return std::nullopt;
    }
    return joinPath(joinPath(contents, "Resources"), kResourceBundleName);
}

std::optional<ResourceBundle> ResourceBundleAccessor::find(FileSystem& fileSystem) const {
    // Beside the program and in its enclosing bundle, wherever it was installed: whoever
    // installed the program put the bundle there too.
    const std::string mainBundlePath = fileSystem.mainBundlePath();
    if (auto beside = ResourceBundle::open(joinPath(mainBundlePath, kResourceBundleName))) return beside;
    if (const auto resources = enclosingBundleResourcesPath(mainBundlePath)) {
        if (auto enclosed = ResourceBundle::open(*resources)) return enclosed;
    }
    // The build tree's path is baked into every copy of the program, also where the tree is
    // gone or others can write: its texts are taken only from where no other user could put them.
    if (!isSafeFromOtherUsers(fileSystem, buildTimePath_)) return std::nullopt;
    return ResourceBundle::open(buildTimePath_);
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
        bundle_ = find(*fileSystem);
        if (bundle_) return bundle_;
        failureMessage = "could not load resource bundle: from ";
        failureMessage += besideMainBundlePath(*fileSystem);
        failureMessage += " or ";
        failureMessage += buildTimePath_;
        failureMessage += '\n';
    }
    // Outside the lock: ending the process runs exit handlers.
    if (const auto& output = platform().output) {
        output->writeStandardError(failureMessage, kFailureMessageTimeLimit);
        output->exitProcess(1);
    }
    return std::nullopt;
}

std::string_view resourceBundleBuildPath() { return buildPathSetting(); }

void setResourceBundleBuildPath(std::string path) { buildPathSetting() = std::move(path); }

std::optional<ResourceBundle> resourceBundleModule() {
    static ResourceBundleAccessor accessor{std::string(resourceBundleBuildPath())};
    return accessor.bundle();
}

}  // namespace kestrum
