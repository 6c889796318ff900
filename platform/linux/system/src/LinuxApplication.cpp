#include "kestrum/linux/LinuxApplication.hpp"

#include <unistd.h>

#include <cstdio>

namespace kestrum {

void LinuxApplication::run() { loop_->run(); }

void LinuxApplication::terminate() {
    std::fflush(nullptr);
    ::_exit(0);
}

}  // namespace kestrum
