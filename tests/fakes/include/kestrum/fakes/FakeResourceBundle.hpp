#pragma once
// Puts resource bundles into a FakeFileSystem: a real directory copied in (the built
// Kestrum_Kestrum.bundle, say), or tables written by a test.
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "kestrum/fakes/FakeSystem.hpp"

namespace kestrum::fakes {

// Copies the directory tree at `realPath` (on disk) into the fake at `fakePath`.
inline void mirrorDirectory(FakeFileSystem& fileSystem, const std::string& realPath, const std::string& fakePath) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(realPath, error)) {
        const std::string name = entry.path().filename().string();
        names.push_back(name);
        if (entry.is_directory()) {
            mirrorDirectory(fileSystem, entry.path().string(), fakePath + "/" + name);
        } else {
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream content;
            content << in.rdbuf();
            fileSystem.files[fakePath + "/" + name] = content.str();
        }
    }
    fileSystem.directories[fakePath] = names;
}

// A bundle at `bundlePath` with one "<id>.lproj/Localizable.strings" per entry of `tables`
// (localization id -> table text).
inline void addResourceBundle(FakeFileSystem& fileSystem, const std::string& bundlePath,
                              const std::map<std::string, std::string>& tables) {
    std::vector<std::string> names;
    for (const auto& [id, text] : tables) {
        names.push_back(id + ".lproj");
        fileSystem.directories[bundlePath + "/" + id + ".lproj"] = {"Localizable.strings"};
        fileSystem.files[bundlePath + "/" + id + ".lproj/Localizable.strings"] = text;
    }
    fileSystem.directories[bundlePath] = names;
}

// The bundle where the library looks first: beside the (fake) main bundle.
inline std::string besideMainBundle(const FakeFileSystem& fileSystem) {
    return fileSystem.bundlePath + "/Kestrum_Kestrum.bundle";
}

}  // namespace kestrum::fakes
