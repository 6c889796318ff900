#pragma once
// The helper's line never waits on a desktop that does not start. While the desktop shell starts
// (Qt, the display connection, the panel) and until the program's first output, the watch can
// replace the process with a fresh start of the same program on other Qt platforms: when the
// start-up stalls (the main thread waits in one call on something that does not answer: a
// stopped or silent display, a session bus, a FIFO) or fails fatally. The restarted program runs
// from the beginning, so everything before the line happens once more and nothing after it has
// happened yet. Only the helper arms the watch; a host that loads the desktop shell is never
// restarted.
#include <string>
#include <string_view>
#include <vector>

#include "kestrum/ports/Platform.hpp"

namespace kestrum {

// The Qt platform list a restarted program starts with: set in its environment by the restart,
// read and removed by the desktop shell before Qt starts.
inline constexpr std::string_view restartPlatformsVariable = "KESTRUM_RESTART_QT_PLATFORMS";

class StartupWatch {
public:
    // A main thread that has neither run nor switched for this long waits on something that
    // does not answer; it is looked at this often.
    static constexpr double stallLimit = 1.0;
    static constexpr double samplingInterval = 0.05;

    // Arms the watch for this process, on the main thread, before the desktop shell is loaded:
    // `arguments` are the program's own (argv), and `ports.output` is wrapped so that the first
    // output (the line, or the missing-bundle message) ends the watch.
    static void arm(std::vector<std::string> arguments, Platform& ports);
    static bool isArmed();
    // Replaces the process with the program started afresh on `platforms`, when still armed;
    // returns when the watch is not armed or the program cannot be started again.
    static void restart(std::string_view platforms);
    // From now until the watch ends, restarts on `platforms` when the main thread stalls for
    // stallLimit seconds, or when the process is ended by exit(3) (as Qt ends it when its display
    // connection breaks). Nothing when the watch is not armed; the first call counts.
    static void restartWhenStalled(std::string platforms);
    // Ends the watch (the program is about to write). Waits while a restart is under way: it
    // replaces the process, and nothing may be written before.
    static void end();
};

}  // namespace kestrum
