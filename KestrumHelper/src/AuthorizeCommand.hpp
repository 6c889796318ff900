#pragma once
// The authorize action: starts the flow for the host's bundle, writes the line with the
// pane's state and keeps the process alive for helperKeepAliveSeconds.
#include "kestrum/KestrumPane.hpp"
#include "kestrum/URL.hpp"

namespace kestrum {

class KestrumHelperRunner;

void runAuthorize(KestrumHelperRunner& runner, KestrumPane pane, const URL& appURL);

}  // namespace kestrum
