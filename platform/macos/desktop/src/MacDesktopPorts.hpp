#pragma once
// The ports of the AppKit half.
#include <memory>

#include "kestrum/ports/Platform.hpp"

namespace kestrum::macos {

std::shared_ptr<Application> makeApplication();
std::shared_ptr<PanelWindowFactory> makePanelWindowFactory();

}  // namespace kestrum::macos
