#pragma once
// The process as an application: its event loop, presence, termination and the pointer.
#include "kestrum/Geometry.hpp"
#include "kestrum/ports/Workspace.hpp"

namespace kestrum {

class Application {
public:
    virtual ~Application() = default;
    // Runs the event loop; does not return while the process lives.
    virtual void run() = 0;
    virtual void setActivationPolicy(ActivationPolicy policy) = 0;
    // Orderly end of the process with exit code 0 (a fake records it and returns).
    virtual void terminate() = 0;
    // The pointer in bottom-left global coordinates.
    virtual Point mouseLocation() = 0;
};

}  // namespace kestrum
