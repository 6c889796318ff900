#pragma once
// What every child this program starts gets from posix_spawn(3): standard input and error on
// /dev/null, standard output on a descriptor of the caller's choice or /dev/null, no other
// descriptor of this process (also none the host left open and inheritable), an empty signal
// mask and SIGPIPE at its default action.
#include <spawn.h>

namespace kestrum {

class SpawnSetup {
public:
    // `standardOutput`: the descriptor the child's standard output leads to; -1 for /dev/null.
    explicit SpawnSetup(int standardOutput = -1);
    ~SpawnSetup();
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool okay() const { return okay_; }
    const posix_spawn_file_actions_t* actions() const { return &actions_; }
    const posix_spawnattr_t* attributes() const { return &attributes_; }

private:
    posix_spawn_file_actions_t actions_{};
    posix_spawnattr_t attributes_{};
    bool actionsReady_ = false;
    bool attributesReady_ = false;
    bool okay_ = false;
};

}  // namespace kestrum
