#pragma once
// The ports of one platform, installed once at start-up by a shell (or by a test with fakes).
// Objects made without arguments (providers, controllers, trackers) take their ports from here.
#include <memory>

#include "kestrum/ports/Accessibility.hpp"
#include "kestrum/ports/Application.hpp"
#include "kestrum/ports/ChildProcesses.hpp"
#include "kestrum/ports/FileSystem.hpp"
#include "kestrum/ports/MainLoop.hpp"
#include "kestrum/ports/Output.hpp"
#include "kestrum/ports/PanelWindow.hpp"
#include "kestrum/ports/PermissionQueries.hpp"
#include "kestrum/ports/TextServices.hpp"
#include "kestrum/ports/WindowServer.hpp"
#include "kestrum/ports/Workspace.hpp"

namespace kestrum {

struct Platform {
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<Accessibility> accessibility;
    std::shared_ptr<WindowServer> windowServer;
    std::shared_ptr<PermissionQueries> permissionQueries;
    std::shared_ptr<FileSystem> fileSystem;
    std::shared_ptr<MainLoop> mainLoop;
    std::shared_ptr<Application> application;
    std::shared_ptr<TextServices> textServices;
    std::shared_ptr<Output> output;
    std::shared_ptr<PanelWindowFactory> panelWindows;
    std::shared_ptr<ChildProcesses> childProcesses;
};

// The installed platform. Install before first use; the ports are then read from any thread.
const Platform& platform();
void installPlatform(Platform platform);

}  // namespace kestrum
