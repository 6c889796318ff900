#pragma once
// The file system as the system reads it, plus the few process facts that come with it.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrum {

// Who may change a file or folder: the facts for deciding whether what it holds can be trusted.
struct FileOwnership {
    bool ownedByCurrentUser = false;
    bool ownedByAdministrator = false;  // the superuser
    bool writableByGroup = false;
    bool writableByOthers = false;
    // A folder in which only an entry's owner may rename or remove it (the sticky bit).
    bool restrictedDeletion = false;
    friend bool operator==(const FileOwnership&, const FileOwnership&) = default;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // True only if the path exists and this process may read it.
    virtual bool isReadableFile(std::string_view path) = 0;
    virtual bool fileExists(std::string_view path) = 0;
    // Entry names, hidden ones included, "." and ".." excluded; nothing on error.
    virtual std::optional<std::vector<std::string>> contentsOfDirectory(std::string_view path) = 0;
    // The whole content of a regular file; nothing when it cannot be read.
    virtual std::optional<std::string> readFile(std::string_view path) = 0;
    // The absolute path without symbolic links, "." or ".." segments; nothing when it does not exist.
    virtual std::optional<std::string> resolvedPath(std::string_view path) = 0;
    // Ownership of what the path names (symbolic links followed); nothing when it does not exist.
    virtual std::optional<FileOwnership> ownership(std::string_view path) = 0;
    // The current user's short login name.
    virtual std::string userName() = 0;
    // The process's current directory (absolute).
    virtual std::string currentDirectoryPath() = 0;
    // The directory of the main bundle; for a plain executable, the directory that holds it.
    virtual std::string mainBundlePath() = 0;
};

}  // namespace kestrum
