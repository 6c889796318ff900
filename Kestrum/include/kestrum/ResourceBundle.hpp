#pragma once
// The library's resource bundle: a directory "Kestrum_Kestrum.bundle" holding one
// "<localization>.lproj" directory per localization, each with the string table
// "Localizable.strings". Everything is read through the installed FileSystem port, on every
// lookup (nothing is cached but the bundle's location).
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestrum/StringsTable.hpp"

namespace kestrum {

class FileSystem;

inline constexpr std::string_view kResourceBundleName = "Kestrum_Kestrum.bundle";
inline constexpr std::string_view kDefaultStringTableName = "Localizable.strings";
// Used under the user's own preferences when none of their languages is available.
inline constexpr std::string_view kDevelopmentLocalization = "en";

// A directory opened as a bundle: the resource bundle itself or one of its localizations.
class ResourceBundle {
public:
    // The bundle at `path` when that is a directory that can be listed.
    static std::optional<ResourceBundle> open(std::string path);

    const std::string& path() const { return path_; }

    // The identifiers of the bundle's "<id>.lproj" directories, in name order.
    std::vector<std::string> localizations() const;
    // The path of the entry "<name>.<type>" directly inside the bundle, when it exists.
    std::optional<std::string> pathForResource(std::string_view name, std::string_view type) const;

    // The bundle's default string table; nothing when it is missing or malformed.
    std::optional<StringsTable> defaultStringTable() const;
    // The key's text in the default string table, or `defaultValue` when it has none.
    std::string localizedString(std::string_view key, std::string_view defaultValue) const;

    // The key's text in the localization the user's preferred languages choose (the development
    // localization when none fits), or `defaultValue` when that table lacks the key.
    std::string localizedStringForUserLanguages(std::string_view key, std::string_view defaultValue) const;

private:
    explicit ResourceBundle(std::string path) : path_(std::move(path)) {}
    std::string path_;
};

// Finds the resource bundle once, in this order: beside the main bundle; in the enclosing
// bundle's Contents/Resources when the program sits in <bundle>/Contents/Helpers or
// Contents/MacOS (where code signing allows no data), whether the platform gives the program's
// folder or the application as the main bundle; at the path fixed when the library was
// built, but only when no other user could have put it there or changed it. When none opens, the
// first use writes "could not load resource bundle: from <beside> or <build-time path>" to
// standard error and ends the process with status 1. The answer is kept for the installed file
// system; installing another one (a test's fake platform) finds the bundle again.
class ResourceBundleAccessor {
public:
    explicit ResourceBundleAccessor(std::string buildTimePath) : buildTimePath_(std::move(buildTimePath)) {}

    std::optional<ResourceBundle> bundle();

    // Where the bundle is looked for first: beside the main bundle.
    static std::string besideMainBundlePath(FileSystem& fileSystem);
    // The bundle's path in the enclosing bundle's resources, when the main bundle path is a
    // bundle's Contents/Helpers or Contents/MacOS, or an application bundle itself.
    static std::optional<std::string> enclosingBundleResourcesPath(std::string_view mainBundlePath);
    const std::string& buildTimePath() const { return buildTimePath_; }

    // How long the missing-bundle message may wait for a standard error nobody reads.
    static constexpr double kFailureMessageTimeLimit = 5;

private:
    std::optional<ResourceBundle> find(FileSystem& fileSystem) const;

    std::mutex mutex_;
    const std::string buildTimePath_;
    std::weak_ptr<FileSystem> resolvedFor_;
    bool resolved_ = false;
    std::optional<ResourceBundle> bundle_;
};

// The build tree's resource bundle (the last place looked in): the library's own, unless the
// program named another before the first lookup.
std::string_view resourceBundleBuildPath();
// A test build of the helper names a place its tests control. Main thread, before any lookup.
void setResourceBundleBuildPath(std::string path);

// The process-wide resource bundle (see ResourceBundleAccessor); nothing only when it could not
// be opened and ending the process did not stop the caller (a fake Output in tests).
std::optional<ResourceBundle> resourceBundleModule();

}  // namespace kestrum
