#pragma once
// Every port faked, installed as the process's platform for the life of one test.
#include <memory>

#include "kestrum/fakes/FakeAccessibility.hpp"
#include "kestrum/fakes/FakeChildProcesses.hpp"
#include "kestrum/fakes/FakeMainLoop.hpp"
#include "kestrum/fakes/FakePanelWindow.hpp"
#include "kestrum/fakes/FakeSystem.hpp"
#include "kestrum/fakes/FakeWindowServer.hpp"
#include "kestrum/fakes/FakeWorkspace.hpp"
#include "kestrum/ports/Platform.hpp"

namespace kestrum::fakes {

struct FakePlatform {
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeAccessibility> accessibility = std::make_shared<FakeAccessibility>();
    std::shared_ptr<FakeWindowServer> windowServer = std::make_shared<FakeWindowServer>();
    std::shared_ptr<FakePermissionQueries> permissionQueries = std::make_shared<FakePermissionQueries>();
    std::shared_ptr<FakeFileSystem> fileSystem = std::make_shared<FakeFileSystem>();
    std::shared_ptr<FakeMainLoop> mainLoop = std::make_shared<FakeMainLoop>();
    std::shared_ptr<FakeApplication> application = std::make_shared<FakeApplication>();
    std::shared_ptr<FakeTextServices> textServices = std::make_shared<FakeTextServices>();
    std::shared_ptr<FakeOutput> output = std::make_shared<FakeOutput>();
    std::shared_ptr<FakePanelWindowFactory> panelWindows = std::make_shared<FakePanelWindowFactory>();
    std::shared_ptr<FakeChildProcesses> childProcesses = std::make_shared<FakeChildProcesses>();

    FakePlatform() { install(); }
    ~FakePlatform() { installPlatform(Platform{}); }
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    void install() {
        installPlatform(Platform{workspace, accessibility, windowServer, permissionQueries, fileSystem, mainLoop,
                                 application, textServices, output, panelWindows, childProcesses});
    }
};

}  // namespace kestrum::fakes
