#pragma once
// Watches one permission until it is granted. Its state is read once a second, each time by this
// program's own `status` in a fresh process (the ChildProcesses port), because the system caches
// some answers per process and a long-lived process would not see a grant. The watch decides
// everything on the main thread: when a reading starts, how long it may take, what its line
// says, and when to stop; the port only starts the child and hands back its line.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "kestrum/KestrumPane.hpp"
#include "kestrum/PermissionAuthorizationState.hpp"
#include "kestrum/ports/ChildProcesses.hpp"
#include "kestrum/ports/MainLoop.hpp"

namespace kestrum {

class GrantWatch : public std::enable_shared_from_this<GrantWatch> {
    struct Token {};

public:
    enum class Ending {
        granted,       // a reading said granted
        neverGranted,  // a reading said unknown: no provider can tell this state
        timedOut,      // the time was up
        stopped,       // the owner's condition said stop
    };
    struct Outcome {
        Ending ending;
        // granted, unknown, or for the other endings the state last read (when no reading
        // answered, the state this process reads itself).
        PermissionAuthorizationState state;
        friend bool operator==(const Outcome&, const Outcome&) = default;
    };

    // A reading starts at once and then every interval, on the monotonic clock. A reading still
    // running when the next is due has taken too long: it is ended and counts as not yet.
    static constexpr double readingInterval = 1.0;

    // Whether `pane` has a state a reading can tell: not fullDiskAccess (only the target
    // application's own process can read it) and not a pane without a provider.
    static bool isReadable(KestrumPane pane);

    // Starts watching on the main thread. Readings start while fewer than `timeout` seconds have
    // passed (the first one always; infinity: until stopped); once the time is up, a reading
    // under way may still finish within its interval, so a grant it sees still counts.
    // `shouldStop` is asked before every reading and with every answer. `onEnd` is told once,
    // on the main thread, how the watch ended; nothing is told after the watch is dropped.
    static std::shared_ptr<GrantWatch> start(KestrumPane pane, double timeout, std::function<bool()> shouldStop,
                                             std::function<void(Outcome)> onEnd);

    GrantWatch(Token, KestrumPane pane, double timeout, std::function<bool()> shouldStop,
               std::function<void(Outcome)> onEnd);
    // Ends a reading under way.
    ~GrantWatch();
    GrantWatch(const GrantWatch&) = delete;
    GrantWatch& operator=(const GrantWatch&) = delete;

    // The state a reading's child reports: its exit code 0 and exactly the line `status` writes
    // for `pane` with one of the states; nothing for anything else (a failed reading).
    static std::optional<PermissionAuthorizationState> stateFromAnswer(KestrumPane pane, const ChildAnswer& answer);

private:
    void step(int index);
    void startReading();
    void endReading();
    void answered(std::uint64_t reading, const ChildAnswer& answer);
    void deadlineReached();
    void finish(Ending ending);

    const KestrumPane pane_;
    const double timeout_;
    const std::function<bool()> shouldStop_;
    std::function<void(Outcome)> onEnd_;
    double startTime_ = 0;
    std::uint64_t readingsStarted_ = 0;
    std::uint64_t readingUnderWay_ = 0;  // its number; 0 when none runs
    std::unique_ptr<ChildRun> child_;
    std::shared_ptr<Timer> nextStep_;
    std::shared_ptr<Timer> deadline_;
    std::optional<PermissionAuthorizationState> lastState_;
    bool timeIsUp_ = false;
    bool ended_ = false;
};

}  // namespace kestrum
