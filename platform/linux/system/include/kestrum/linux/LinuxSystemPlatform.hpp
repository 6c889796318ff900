#pragma once
// The ports of the Linux shell that need no display: installed by the helper at start-up.
#include <memory>

#include "kestrum/linux/LinuxMainLoop.hpp"
#include "kestrum/ports/Platform.hpp"

namespace kestrum {

// Every port but the text services and the panel windows, which come with the desktop shell.
// Its child processes run this very program again (/proc/self/exe): the helper's readings; the
// library itself starts none.
Platform makeLinuxSystemPlatform(std::shared_ptr<LinuxMainLoop> loop);

// In a child that the child-process port started (its environment names its parent), asks the
// kernel to end it with SIGKILL when that parent ends, however it ends: a reading never outlives
// the helper that waits for it. Does nothing in any other process. Call first thing.
void endWithParentProcess();

}  // namespace kestrum
