#pragma once
// The authorize action: starts the flow for the host's bundle, writes the line with the
// pane's state and keeps the process alive for helperKeepAliveSeconds. With closeWhenGranted,
// it also watches for the grant while the flow is open and, once it is seen, ends the flow as
// the close button does and the process with exit code 0.
#include "kestrum/KestrumPane.hpp"
#include "kestrum/URL.hpp"

namespace kestrum {

class KestrumHelperRunner;

void runAuthorize(KestrumHelperRunner& runner, KestrumPane pane, const URL& appURL, bool closeWhenGranted);

}  // namespace kestrum
