#include "kestrum/linux/LinuxWorkspace.hpp"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <thread>

#include "kestrum/posix/PosixSpawn.hpp"

extern char** environ;

namespace kestrum {
namespace {

bool hasNul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return !hasNul(path) && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::vector<std::string> programSearchFolders(const char* path) {
    std::vector<std::string> folders;
    const std::string_view text(path ? path : "");
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find(':', start), text.size());
        const std::string_view folder = text.substr(start, end - start);
        if (folder.starts_with('/')) folders.emplace_back(folder);
        start = end + 1;
    }
    if (folders.empty()) folders = {"/usr/local/bin", "/usr/bin", "/bin"};
    return folders;
}

std::optional<pid_t> spawnDetached(const std::string& program, const std::vector<std::string>& arguments) {
    if (program.empty() || hasNul(program)) return std::nullopt;
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& argument : arguments) {
        if (hasNul(argument)) return std::nullopt;
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    const std::vector<std::string> folders = programSearchFolders(::getenv("PATH"));
    std::string file = program;
    if (program.find('/') == std::string::npos) {
        const auto folder = std::find_if(folders.begin(), folders.end(), [&](const std::string& candidate) {
            return isExecutableFile(candidate + "/" + program);
        });
        if (folder == folders.end()) return std::nullopt;
        file = *folder + "/" + program;
    }
    // The child searches the same folders: an opener that is a script must not run its own
    // helpers from the current folder either.
    std::string searchPath = "PATH=" + folders.front();
    for (std::size_t i = 1; i < folders.size(); ++i) searchPath += ":" + folders[i];
    std::vector<char*> environment;
    for (char** entry = environ; entry && *entry; ++entry) {
        if (!std::string_view(*entry).starts_with("PATH=")) environment.push_back(*entry);
    }
    environment.push_back(searchPath.data());
    environment.push_back(nullptr);

    const SpawnSetup setup;
    if (!setup.okay()) return std::nullopt;
    pid_t child = -1;
    if (::posix_spawn(&child, file.c_str(), setup.actions(), setup.attributes(), argv.data(), environment.data()) != 0) {
        return std::nullopt;
    }
    return child;
}

namespace {

// Collects the child's exit status once it ends, so that an opener started early in a
// long-lived process (authorize) does not linger as a zombie.
void startReaper(pid_t child) {
    try {
        std::thread([child] {
            int status = 0;
            while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the system reaps the child when the process ends.
    }
}

}  // namespace

// A thread costs a command that ends at once (open) more than the rest of its start: it is made
// only if the process lives on to the loop's next turn.
void LinuxWorkspace::reapWhenDone(pid_t child) const {
    if (const auto loop = loop_.lock()) {
        loop->post([child] { startReaper(child); });
    } else {
        startReaper(child);
    }
}

bool LinuxWorkspace::openURL(const URL& url) {
    const auto child = spawnDetached(urlOpener_, {url.absoluteString()});
    if (child) reapWhenDone(*child);
    return child.has_value();
}

std::optional<std::string> executableAt(const URL& url) {
    if (!url.isFileURL()) return std::nullopt;
    std::string path = url.path();
    if (!isExecutableFile(path)) return std::nullopt;
    return path;
}

void LinuxWorkspace::launchApplication(const URL& applicationURL) {
    const auto program = executableAt(applicationURL);
    if (!program) return;
    if (const auto child = spawnDetached(*program, {})) reapWhenDone(*child);
}

std::vector<RunningApplication> LinuxWorkspace::runningApplications(std::string_view) { return {}; }

std::optional<RunningApplication> LinuxWorkspace::runningApplication(std::int32_t processIdentifier) {
    if (processIdentifier <= 0) return std::nullopt;
    // A process we may not signal (EPERM) still exists.
    if (::kill(processIdentifier, 0) != 0 && errno != EPERM) return std::nullopt;
    return RunningApplication{processIdentifier, std::nullopt, ActivationPolicy::regular};
}

void LinuxWorkspace::activateIgnoringOtherApps(const RunningApplication&) {}

std::optional<RunningApplication> LinuxWorkspace::frontmostApplication() { return std::nullopt; }

Subscription LinuxWorkspace::observeApplicationActivation(std::function<void()>) { return Subscription{}; }

}  // namespace kestrum
