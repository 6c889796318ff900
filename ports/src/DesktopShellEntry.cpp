#include "kestrum/ports/DesktopShellEntry.hpp"

namespace kestrum::desktop {
namespace {

bool extendsThePorts(const Platform& before, const Platform& after) {
    const auto kept = [](const auto& was, const auto& is) { return !was || is; };
    return kept(before.workspace, after.workspace) && kept(before.accessibility, after.accessibility) &&
           kept(before.windowServer, after.windowServer) && kept(before.permissionQueries, after.permissionQueries) &&
           kept(before.fileSystem, after.fileSystem) && kept(before.mainLoop, after.mainLoop) &&
           kept(before.textServices, after.textServices) && kept(before.output, after.output) &&
           kept(before.childProcesses, after.childProcesses) &&
           after.panelWindows && after.application && after.application != before.application;
}

}  // namespace

std::string extendThroughDesktopShell(const std::function<void*(const char*)>& symbol, Platform& ports) {
    // The version first: an entry point of another contract could not even be called safely.
    const auto* version = static_cast<const unsigned*>(symbol(desktopShellVersionSymbol));
    if (!version || *version != desktopShellInterfaceVersion) return "the desktop shell was built for another interface version";
    auto entry = reinterpret_cast<DesktopShellEntry>(symbol(desktopShellEntryPoint));
    if (!entry) return "the desktop shell has no entry point";
    // The shell works on a copy, so that a refusal cannot leave the ports half extended.
    Platform extended = ports;
    if (entry(desktopShellInterfaceVersion, &extended) != 1) return "the desktop shell refused the ports";
    if (!extendsThePorts(ports, extended)) return "the desktop shell answered without extending the ports";
    ports = std::move(extended);
    return {};
}

}  // namespace kestrum::desktop
