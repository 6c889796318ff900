#include "kestrum/posix/PosixFileSystem.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>

namespace kestrum {
namespace {

// A path for the C library, or nothing when it holds a NUL byte (no file has such a name).
std::optional<std::string> cPath(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) return std::nullopt;
    return std::string(path);
}

}  // namespace

bool PosixFileSystem::isReadableFile(std::string_view path) {
    const auto p = cPath(path);
    struct stat info {};
    return p && ::stat(p->c_str(), &info) == 0 && ::access(p->c_str(), R_OK) == 0;
}

bool PosixFileSystem::fileExists(std::string_view path) {
    const auto p = cPath(path);
    struct stat info {};
    return p && ::stat(p->c_str(), &info) == 0;
}

std::optional<std::vector<std::string>> PosixFileSystem::contentsOfDirectory(std::string_view path) {
    const auto p = cPath(path);
    if (!p) return std::nullopt;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(p->c_str()), ::closedir);
    if (!dir) return std::nullopt;
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0) return std::nullopt;  // a listing cut short is no listing
            break;
        }
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    return names;
}

std::optional<std::string> PosixFileSystem::readFile(std::string_view path) {
    const auto p = cPath(path);
    if (!p) return std::nullopt;
    // Without blocking: opening a FIFO for reading would otherwise wait for a writer forever.
    const int descriptor = ::open(p->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (descriptor < 0) return std::nullopt;
    struct Closer {
        int descriptor;
        ~Closer() { ::close(descriptor); }
    } const closer{descriptor};
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    std::string content;
    char chunk[16384];
    for (;;) {
        const ssize_t count = ::read(descriptor, chunk, sizeof chunk);
        if (count > 0) {
            content.append(chunk, static_cast<std::size_t>(count));
        } else if (count == 0) {
            return content;
        } else if (errno != EINTR) {
            return std::nullopt;
        }
    }
}

std::optional<std::string> PosixFileSystem::resolvedPath(std::string_view path) {
    const auto p = cPath(path);
    if (!p) return std::nullopt;
    const std::unique_ptr<char, void (*)(void*)> resolved(::realpath(p->c_str(), nullptr), ::free);
    if (!resolved) return std::nullopt;
    return std::string(resolved.get());
}

std::optional<FileOwnership> PosixFileSystem::ownership(std::string_view path) {
    const auto p = cPath(path);
    struct stat info {};
    if (!p || ::stat(p->c_str(), &info) != 0) return std::nullopt;
    FileOwnership facts;
    facts.ownedByCurrentUser = info.st_uid == ::geteuid();
    facts.ownedByAdministrator = info.st_uid == 0;
    facts.writableByGroup = (info.st_mode & S_IWGRP) != 0;
    facts.writableByOthers = (info.st_mode & S_IWOTH) != 0;
    facts.restrictedDeletion = S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX) != 0;
    return facts;
}

std::string PosixFileSystem::userName() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    while (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (found && found->pw_name) return found->pw_name;
    if (const char* login = ::getlogin()) return login;
    return {};
}

std::string PosixFileSystem::currentDirectoryPath() {
    std::string buffer(PATH_MAX, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) return std::string(buffer.c_str());
        if (errno != ERANGE || buffer.size() >= (1u << 20)) return "/";
        buffer.resize(buffer.size() * 2);
    }
}

std::string PosixFileSystem::mainBundlePath() {
    std::string buffer(PATH_MAX, '\0');
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            break;
        }
        if (buffer.size() >= (1u << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
    const auto slash = buffer.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : buffer.substr(0, slash);
}

}  // namespace kestrum
