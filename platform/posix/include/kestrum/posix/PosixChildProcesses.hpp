#pragma once
// This program started again as a child with posix_spawn(3), its first line read and the child
// reaped by a thread of the port's (so the main loop never waits on a child). The thread starts
// with the first child and stays for the next, so that a child a second costs no thread.
#include <functional>
#include <memory>
#include <string>

#include "kestrum/ports/ChildProcesses.hpp"

namespace kestrum {

// Names, in a child's environment, the process that started it, so that the child can end when
// that process does (posix_spawn(3) cannot arrange it): each shell's endWithParentProcess().
inline constexpr const char* parentProcessVariable = "KESTRUM_PARENT_PROCESS";

class PosixChildProcesses : public ChildProcesses {
public:
    // `executablePath` names this program's file; asked at every start. Linux: /proc/self/exe,
    // which runs this very program even after its file was replaced or moved. macOS: the path
    // dyld has for the main executable.
    explicit PosixChildProcesses(std::function<std::string()> executablePath);
    // The thread ends once it has collected the child under way.
    ~PosixChildProcesses() override;
    PosixChildProcesses(const PosixChildProcesses&) = delete;
    PosixChildProcesses& operator=(const PosixChildProcesses&) = delete;

    // The child gets the environment of this process, with parentProcessVariable naming this
    // process, and the descriptors of SpawnSetup, standard output on a pipe (close-on-exec here,
    // so no other child inherits it). Called on one thread only (the main thread). end() sends SIGKILL
    // while the child has not yet been waited for, never afterwards, so the signal cannot reach
    // another process that took its number. The answer holds the exit code only when the child
    // exited by itself.
    std::unique_ptr<ChildRun> runSelf(const std::vector<std::string>& arguments,
                                      std::function<void(ChildAnswer)> done) override;

    struct Watcher;  // what the port, its runs and its thread share

private:
    std::function<std::string()> executablePath_;
    std::shared_ptr<Watcher> watcher_;
};

}  // namespace kestrum
