#pragma once
// Reaches the panel's delegate while the panel window exists. The window clears it when it
// goes, so that views the system still holds (a drag session in flight) call nobody.
#include <memory>

#include "kestrum/ports/PanelWindow.hpp"

namespace kestrum::macos {

struct DelegateLink {
    PanelWindowDelegate* delegate = nullptr;
};

}  // namespace kestrum::macos
