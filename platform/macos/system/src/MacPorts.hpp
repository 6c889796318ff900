#pragma once
// The ports of the system half, each made by one Objective-C++ file.
#include <memory>

#include "kestrum/ports/Platform.hpp"

namespace kestrum::macos {

std::shared_ptr<MainLoop> makeMainLoop();
std::shared_ptr<Workspace> makeWorkspace();
std::shared_ptr<Accessibility> makeAccessibility();
std::shared_ptr<WindowServer> makeWindowServer();
std::shared_ptr<PermissionQueries> makePermissionQueries();
std::shared_ptr<TextServices> makeTextServices();
std::shared_ptr<FileSystem> makeFileSystem();
std::shared_ptr<Application> makeSystemApplication();

}  // namespace kestrum::macos
