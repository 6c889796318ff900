#pragma once
// This program started again as a child with posix_spawn(3), its first line read by a thread
// of its own (so the main loop never waits on a child), the child reaped by that thread.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "kestrum/ports/ChildProcesses.hpp"

namespace kestrum {

class PosixChildProcesses : public ChildProcesses {
public:
    // `executablePath` names this program's file; asked at every start. Linux: /proc/self/exe,
    // which runs this very program even after its file was replaced or moved. macOS: the path
    // dyld has for the main executable.
    explicit PosixChildProcesses(std::function<std::string()> executablePath)
        : executablePath_(std::move(executablePath)) {}

    // The child gets the environment of this process and the descriptors of SpawnSetup, standard
    // output on a pipe (close-on-exec here, so no other child inherits it). end() sends SIGKILL
    // while the child has not yet been waited for, never afterwards, so the signal cannot reach
    // another process that took its number. The answer holds the exit code only when the child
    // exited by itself.
    std::unique_ptr<ChildRun> runSelf(const std::vector<std::string>& arguments,
                                      std::function<void(ChildAnswer)> done) override;

private:
    std::function<std::string()> executablePath_;
    // A child has been started and not yet reaped.
    std::shared_ptr<std::atomic<bool>> busy_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace kestrum
