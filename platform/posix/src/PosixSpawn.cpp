#include "kestrum/posix/PosixSpawn.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace kestrum {

SpawnSetup::SpawnSetup(int standardOutput) {
    actionsReady_ = posix_spawn_file_actions_init(&actions_) == 0;
    attributesReady_ = posix_spawnattr_init(&attributes_) == 0;
    okay_ = actionsReady_ && attributesReady_;
    for (int descriptor = 0; okay_ && descriptor <= 2; ++descriptor) {
        okay_ = descriptor == STDOUT_FILENO && standardOutput >= 0
                    ? posix_spawn_file_actions_adddup2(&actions_, standardOutput, descriptor) == 0
                    : posix_spawn_file_actions_addopen(&actions_, descriptor, "/dev/null",
                                                       descriptor == 0 ? O_RDONLY : O_WRONLY, 0) == 0;
    }
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#ifdef POSIX_SPAWN_CLOEXEC_DEFAULT
    // macOS: only the descriptors the file actions set up reach the child.
    flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
#else
    // Whatever else is open here (descriptors the host left inheritable among them) stays here.
    okay_ = okay_ && posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1) == 0;
#endif
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    okay_ = okay_ && posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
            posix_spawnattr_setsigdefault(&attributes_, &defaults) == 0 &&
            posix_spawnattr_setflags(&attributes_, flags) == 0;
}

SpawnSetup::~SpawnSetup() {
    if (actionsReady_) posix_spawn_file_actions_destroy(&actions_);
    if (attributesReady_) posix_spawnattr_destroy(&attributes_);
}

}  // namespace kestrum
