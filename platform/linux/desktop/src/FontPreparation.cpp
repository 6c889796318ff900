#include "FontPreparation.hpp"

#include <fontconfig/fontconfig.h>

#include <QFontDatabase>
#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "kestrum/linux/StartupWatch.hpp"

namespace kestrum::desktop::fonts {
namespace {

struct State {
    std::mutex mutex;
    std::condition_variable changed;
    bool begun = false;
    bool applicationStarted = false;
    bool done = false;
};

// Never destroyed: the thread may still be reading the fonts when the process ends.
State& state() {
    static State* const shared = new State;
    return *shared;
}

}  // namespace

void beginPreparing() {
    State& shared = state();
    {
        std::lock_guard lock(shared.mutex);
        if (shared.begun) return;
        shared.begun = true;
    }
    try {
        // Detached: it may outlive every wait (a flow without a panel), and ends by itself.
        std::thread([] {
            FcInit();
            State& shared = state();
            {
                std::unique_lock lock(shared.mutex);
                shared.changed.wait(lock, [&] { return shared.applicationStarted; });
            }
            QFontDatabase::families();  // thread-safe; fills the database the main thread reads
            {
                std::lock_guard lock(shared.mutex);
                shared.done = true;
            }
            shared.changed.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        std::lock_guard lock(shared.mutex);
        shared.done = true;
    }
}

void applicationStarted() {
    State& shared = state();
    {
        std::lock_guard lock(shared.mutex);
        shared.applicationStarted = true;
    }
    shared.changed.notify_all();
}

// Waits in slices as short as the start-up watch's look, so that the watch sees the main thread
// go on, and no longer than the watch lets a start-up stand still: fonts that take longer (a
// font folder that blocks) are left to Qt on the main thread, where the watch can see them.
void awaitPrepared() {
    using namespace std::chrono;
    State& shared = state();
    std::unique_lock lock(shared.mutex);
    const auto limit = steady_clock::now() + duration<double>(StartupWatch::stallLimit);
    while (shared.begun && !shared.done && steady_clock::now() < limit) {
        shared.changed.wait_for(lock, duration<double>(StartupWatch::samplingInterval));
    }
}

}  // namespace kestrum::desktop::fonts
