#pragma once
// The file system through POSIX calls.
#include "kestrum/ports/FileSystem.hpp"

namespace kestrum {

class PosixFileSystem : public FileSystem {
public:
    // access(R_OK) on an existing path (files and folders alike).
    bool isReadableFile(std::string_view path) override;
    // stat(2), following symbolic links: a dangling link does not exist.
    bool fileExists(std::string_view path) override;
    // readdir(3) order; nothing when the folder cannot be opened.
    std::optional<std::vector<std::string>> contentsOfDirectory(std::string_view path) override;
    // The bytes of a regular file; nothing for folders, devices, FIFOs or unreadable files.
    // Opened without blocking, so a FIFO put in a file's place cannot hold the caller.
    std::optional<std::string> readFile(std::string_view path) override;
    // realpath(3).
    std::optional<std::string> resolvedPath(std::string_view path) override;
    // stat(2): the owner compared with the effective user and the superuser, and the mode bits.
    std::optional<FileOwnership> ownership(std::string_view path) override;
    // The password database's name for the effective user, else getlogin(3), else empty.
    std::string userName() override;
    // getcwd(3); "/" when the current directory no longer exists.
    std::string currentDirectoryPath() override;
    // The folder holding the running executable (/proc/self/exe).
    std::string mainBundlePath() override;
};

}  // namespace kestrum
