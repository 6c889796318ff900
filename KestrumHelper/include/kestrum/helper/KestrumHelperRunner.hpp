#pragma once
// The object that runs one invocation of the helper.
#include <memory>
#include <string>
#include <vector>

#include "kestrum/helper/GrantWatch.hpp"
#include "kestrum/helper/HelperCommand.hpp"
#include "kestrum/helper/HelperOutput.hpp"

namespace kestrum {

class KestrumController;

// Seconds the authorize action keeps the process alive; read when the action schedules its
// keep-alive. Also the longest any action waits for a host that does not read its line. Set at
// start-up; main thread only.
extern double helperKeepAliveSeconds;

// Exit codes of the helper.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;

class KestrumHelperRunner : public std::enable_shared_from_this<KestrumHelperRunner> {
public:
    // Set by authorize and kept for the rest of the process.
    std::shared_ptr<KestrumController> controller;
    // Set by wait, and by authorize with --close-when-granted, while a grant is watched for.
    std::shared_ptr<GrantWatch> grantWatch;

    // Runs the invocation on the main thread. For status, open and every parse error it
    // writes the line and ends the process through the Output port; for authorize it returns
    // with the flow started and the keep-alive scheduled; for wait it returns with the grant
    // watched for, and writes the line and ends the process when the watch ends.
    void run(const std::vector<std::string>& arguments);
    // The same for a command line parsed already (the entry point parses it before the platform
    // is assembled, since authorize needs more ports).
    void run(const ParseCommandResult& parsed);

private:
    void runCommand(const HelperCommand& command);
    void waitForGrant(KestrumPane pane, double timeout);
    static void finish(const HelperOutput& output, int exitCode);
};

}  // namespace kestrum
