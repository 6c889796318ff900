#pragma once
// What authorize needs from the executable that runs it.
#include <functional>

namespace kestrum {

// Makes the ports of a panel available (the desktop shell: panel windows, an event loop that
// shows them) before authorize starts its flow. Set by the entry point; when absent, the
// installed ports are used as they are. Main thread only.
extern std::function<void()> prepareAuthorizePorts;

}  // namespace kestrum
