#pragma once
// Launching and opening URLs on a Linux desktop without a display connection.
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "kestrum/ports/MainLoop.hpp"
#include "kestrum/ports/Workspace.hpp"

namespace kestrum {

// The folders a program name is looked up in, given the value of PATH: its absolute folders in
// order, or the usual system folders when it names none (unset or empty). Relative entries (an
// empty one among them) are left out: they name the current folder, which anyone may have filled.
std::vector<std::string> programSearchFolders(const char* path);

// Starts `program` with `arguments`, without waiting for it. A name without "/" is looked up
// in programSearchFolders(PATH) only; the child's PATH names those folders and nothing else.
// Standard input, output and error lead to /dev/null (so nothing it prints reaches the
// helper's one line, and the host's pipe is not held open by it), no other descriptor is
// passed on, the signal mask and SIGPIPE's disposition are reset. The child's id, or nothing
// when it could not be started; the caller collects its exit status.
std::optional<pid_t> spawnDetached(const std::string& program, const std::vector<std::string>& arguments);

// The path of the executable regular file a file URL names, or nothing (an application
// bundle, a folder, a missing file, another scheme).
std::optional<std::string> executableAt(const URL& url);

class LinuxWorkspace : public Workspace {
public:
    // With a main loop, the programs it starts are reaped from the loop's next turn on: a process
    // that ends in this one (open) leaves them to the system and starts no thread for them.
    explicit LinuxWorkspace(std::string urlOpener = "xdg-open", std::weak_ptr<MainLoop> loop = {})
        : urlOpener_(std::move(urlOpener)), loop_(std::move(loop)) {}

    // Starts an executable file at the URL's path; anything else (an application bundle does
    // not exist on Linux) is silently not launched.
    void launchApplication(const URL& applicationURL) override;
    // Hands the URL to the URL opener; true when the opener could be started. Started programs
    // are reaped in the background once they end.
    bool openURL(const URL& url) override;
    // Without a display connection no process can be tied to a bundle identifier: none.
    std::vector<RunningApplication> runningApplications(std::string_view bundleIdentifier) override;
    // A live process, without bundle identifier.
    std::optional<RunningApplication> runningApplication(std::int32_t processIdentifier) override;
    // Activation needs a window manager: nothing happens.
    void activateIgnoringOtherApps(const RunningApplication& application) override;
    // Unknown without a display connection.
    std::optional<RunningApplication> frontmostApplication() override;
    // No activation is ever observed; the subscription does nothing.
    Subscription observeApplicationActivation(std::function<void()> handler) override;

private:
    void reapWhenDone(pid_t child) const;

    std::string urlOpener_;
    std::weak_ptr<MainLoop> loop_;
};

}  // namespace kestrum
