// The controller's list of application bundles: which URLs count as applications, when two
// name the same one, and which is offered first.
#include <algorithm>
#include <set>

#include "kestrum/KestrumController.hpp"
#include "kestrum/ports/Platform.hpp"

namespace kestrum {
namespace {

std::string lowercasedASCII(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

// A file URL whose path extension, in any case, is "app". Other schemes never name a bundle
// that can be dragged into the permission list.
bool isApplicationURL(const URL& url) { return url.isFileURL() && lowercasedASCII(url.pathExtension()) == "app"; }

}  // namespace

// Case-sensitive, but canonically equivalent Unicode spellings of a path are the same path.
std::string KestrumController::comparablePath(const URL& url) const {
    std::string path = url.standardized().path();
    if (const auto& text = platform().textServices) return text->canonicalForm(path);
    return path;
}

std::vector<URL> KestrumController::uniqueAppURLs(const std::vector<URL>& urls) const {
    std::vector<URL> result;
    std::set<std::string> seen;
    for (const URL& url : urls) {
        URL standardized = url.standardized();
        if (!isApplicationURL(standardized)) continue;
        if (!seen.insert(comparablePath(standardized)).second) continue;
        result.push_back(std::move(standardized));
    }
    return result;
}

bool KestrumController::containsApp(const std::vector<URL>& list, const URL& url) const {
    const std::string path = comparablePath(url);
    return std::any_of(list.begin(), list.end(), [&](const URL& element) { return comparablePath(element) == path; });
}

void KestrumController::appendDroppedApp(const URL& standardizedURL) {
    std::vector<URL> apps = droppedApps_.get();
    apps.push_back(standardizedURL);
    droppedApps_.assign(std::move(apps));
    if (onDrop) onDrop(standardizedURL);
}

void KestrumController::registerDroppedApp(const URL& url) {
    // The extension is judged on the URL as given, before standardizing.
    if (!isApplicationURL(url)) return;
    const URL standardized = url.standardized();
    if (containsApp(droppedApps_.get(), standardized)) return;
    appendDroppedApp(standardized);
}

void KestrumController::mergeDroppedApps(const std::vector<URL>& urls) {
    for (const URL& url : uniqueAppURLs(urls)) {
        if (!containsApp(droppedApps_.get(), url)) appendDroppedApp(url);
    }
}

void KestrumController::resetDroppedApps() { droppedApps_.assign(uniqueAppURLs(configuration_.requiredAppURLs)); }

std::optional<URL> KestrumController::preferredAppURL() const {
    if (!droppedApps_.get().empty()) return droppedApps_.get().front();
    const auto& fileSystem = platform().fileSystem;
    if (!fileSystem) return std::nullopt;
    URL mainBundle = URL::fileURL(fileSystem->mainBundlePath()).standardized();
    if (!isApplicationURL(mainBundle)) return std::nullopt;
    return mainBundle;
}

}  // namespace kestrum
