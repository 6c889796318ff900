// A reading that a waiting helper started ends when that helper does. macOS has no parent-death
// signal: a dispatch source watches the parent's exit, on a global queue, so that it fires even
// while the main thread waits in a query that does not answer.
#include <dispatch/dispatch.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include "kestrum/macos/MacSystemPlatform.hpp"
#include "kestrum/posix/PosixChildProcesses.hpp"

namespace kestrum::macos {

void endWithParentProcess() {
    const char* named = ::getenv(parentProcessVariable);
    if (!named) return;
    const long parent = ::strtol(named, nullptr, 10);
    ::unsetenv(parentProcessVariable);  // for this process only
    // Only the process that started this one: a stray value changes nothing.
    if (parent <= 1 || ::getppid() != parent) return;
    // Kept for the life of the process.
    static dispatch_source_t watch =
        dispatch_source_create(DISPATCH_SOURCE_TYPE_PROC, static_cast<uintptr_t>(parent), DISPATCH_PROC_EXIT,
                               dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0));
    if (!watch) return;
    dispatch_source_set_event_handler(watch, ^{
      ::kill(::getpid(), SIGKILL);
    });
    dispatch_resume(watch);
    if (::getppid() != parent) ::kill(::getpid(), SIGKILL);  // it ended just before
}

}  // namespace kestrum::macos
