#pragma once
// Fakes of the small ports: permission queries, file system, output, application, text.
#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "kestrum/ports/Application.hpp"
#include "kestrum/ports/FileSystem.hpp"
#include "kestrum/ports/Output.hpp"
#include "kestrum/ports/PermissionQueries.hpp"
#include "kestrum/ports/TextServices.hpp"

namespace kestrum::fakes {

class FakePermissionQueries : public PermissionQueries {
public:
    bool accessibilityTrusted = false;
    bool screenCapture = false;
    AudioCaptureAuthorization audio = AudioCaptureAuthorization::notDetermined;
    // Completions of requests the platform has not answered yet.
    std::vector<std::function<void(bool)>> pendingAudioRequests;

    bool isAccessibilityTrusted() override { return accessibilityTrusted; }
    bool screenCapturePreflight() override { return screenCapture; }
    AudioCaptureAuthorization audioCaptureAuthorization() override { return audio; }
    void requestAudioCapture(std::function<void(bool)> completion) override {
        pendingAudioRequests.push_back(std::move(completion));
    }
};

class FakeFileSystem : public FileSystem {
public:
    std::set<std::string> readable;
    std::set<std::string> existing;  // readable paths exist too
    std::map<std::string, std::vector<std::string>> directories;  // listable folders
    std::map<std::string, std::string> files;  // readable regular files with their contents
    std::string user = "tester";
    std::string currentDirectory = "/home/tester";
    std::string bundlePath = "/opt/kestrum/bin";
    // Every existing path resolves to itself and belongs to the user, writable by the user alone,
    // unless listed here.
    std::map<std::string, std::string> resolved;
    std::map<std::string, FileOwnership> owners;
    // "readable P", "exists P", "list P", "read P", "resolve P", "owner P", in order
    std::vector<std::string> queries;

    bool isReadableFile(std::string_view path) override {
        queries.push_back("readable " + std::string(path));
        return readable.count(std::string(path)) > 0 || files.count(std::string(path)) > 0;
    }
    bool fileExists(std::string_view path) override {
        queries.push_back("exists " + std::string(path));
        return exists(std::string(path));
    }
    std::optional<std::vector<std::string>> contentsOfDirectory(std::string_view path) override {
        queries.push_back("list " + std::string(path));
        auto it = directories.find(std::string(path));
        if (it == directories.end()) return std::nullopt;
        return it->second;
    }
    std::optional<std::string> readFile(std::string_view path) override {
        queries.push_back("read " + std::string(path));
        auto it = files.find(std::string(path));
        if (it == files.end()) return std::nullopt;
        return it->second;
    }
    std::optional<std::string> resolvedPath(std::string_view path) override {
        queries.push_back("resolve " + std::string(path));
        const std::string p(path);
        if (auto it = resolved.find(p); it != resolved.end()) return it->second;
        if (!exists(p)) return std::nullopt;
        return p;
    }
    std::optional<FileOwnership> ownership(std::string_view path) override {
        queries.push_back("owner " + std::string(path));
        if (auto it = owners.find(std::string(path)); it != owners.end()) return it->second;
        FileOwnership own;
        own.ownedByCurrentUser = true;
        return own;
    }
    std::string userName() override { return user; }
    std::string currentDirectoryPath() override { return currentDirectory; }
    std::string mainBundlePath() override { return bundlePath; }

private:
    bool exists(const std::string& p) const {
        return existing.count(p) > 0 || readable.count(p) > 0 || directories.count(p) > 0 || files.count(p) > 0;
    }
};

class FakeOutput : public Output {
public:
    std::string standardOutput;
    std::string standardError;
    std::vector<std::string> writes;  // each write to standard output, separately
    std::optional<int> exitCode;
    // Bytes a reader takes from standard output before it stops reading; every write after
    // that gives up once its time is up.
    std::optional<std::size_t> standardOutputCapacity;
    // The host closed its end of standard output.
    bool readerGone = false;

    bool writeStandardOutput(std::string_view bytes, double) override {
        const std::size_t room =
            standardOutputCapacity ? *standardOutputCapacity - std::min(*standardOutputCapacity, standardOutput.size())
                                   : bytes.size();
        const std::string_view taken = bytes.substr(0, room);
        standardOutput += taken;
        writes.emplace_back(taken);
        return taken.size() == bytes.size();
    }
    bool writeStandardError(std::string_view bytes, double) override {
        standardError += bytes;
        return true;
    }
    bool standardOutputGone() override { return readerGone; }
    void exitProcess(int code) override {
        if (!exitCode) exitCode = code;
    }
};

class FakeApplication : public Application {
public:
    bool ran = false;
    std::optional<ActivationPolicy> policy;
    int terminations = 0;
    Point mouse{0, 0};

    void run() override { ran = true; }
    void setActivationPolicy(ActivationPolicy p) override { policy = p; }
    void terminate() override { ++terminations; }
    Point mouseLocation() override { return mouse; }
};

// Text services without Unicode data: texts are their own canonical form unless a test maps
// them, and localization matching picks exact names in order of preference.
class FakeTextServices : public TextServices {
public:
    std::map<std::string, std::string> canonical;
    std::map<std::string, std::string> likelyScripts;  // language -> script
    std::vector<std::string> userLanguages{"en"};

    std::string canonicalForm(std::string_view text) override {
        auto it = canonical.find(std::string(text));
        return it == canonical.end() ? std::string(text) : it->second;
    }
    LocaleParts localeParts(std::string_view identifier) override {
        LocaleParts parts;
        std::string id(identifier);
        const auto dash = id.find('-');
        parts.language = id.substr(0, dash);
        if (dash != std::string::npos) {
            const std::string next = id.substr(dash + 1, id.find('-', dash + 1) - dash - 1);
            if (next.size() == 4) parts.script = next;
        }
        return parts;
    }
    std::optional<std::string> likelyScript(std::string_view identifier) override {
        const auto parts = localeParts(identifier);
        auto it = likelyScripts.find(parts.language);
        if (it == likelyScripts.end()) return std::nullopt;
        return it->second;
    }
    std::vector<std::string> preferredLocalizations(const std::vector<std::string>& available,
                                                    const std::vector<std::string>& preferences) override {
        std::vector<std::string> result;
        for (const auto& p : preferences) {
            for (const auto& a : available) {
                if (a == p && std::find(result.begin(), result.end(), a) == result.end()) result.push_back(a);
            }
        }
        return result;
    }
    std::vector<std::string> userPreferredLanguages() override { return userLanguages; }
};

}  // namespace kestrum::fakes
