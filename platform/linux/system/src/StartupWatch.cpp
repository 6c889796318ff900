#include "kestrum/linux/StartupWatch.hpp"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <system_error>
#include <thread>

#include "kestrum/posix/PosixOutput.hpp"

extern char** environ;

namespace kestrum {
namespace {

enum class WatchState { idle, armed, restarting, ended };

struct Watch {
    std::atomic<WatchState> state{WatchState::idle};
    // Written before the watch is armed, read only while it is.
    std::vector<std::string> arguments;
    std::vector<std::string> environment;  // without the restart's own variable
    pid_t mainThread = 0;
    // Where a restart goes when the start-up stalls or ends the process; set once, with the
    // stall watch's thread.
    std::string fallbackPlatforms;
};

// Never destroyed: the stall watch's thread may still look at it while the process ends.
Watch& watch() {
    static Watch* const instance = new Watch;
    return *instance;
}

// The first output ends the watch, before anything reaches the host.
class WatchedOutput final : public Output {
public:
    explicit WatchedOutput(std::shared_ptr<Output> inner) : inner_(std::move(inner)) {}
    bool writeStandardOutput(std::string_view bytes, double timeLimit) override {
        StartupWatch::end();
        return inner_->writeStandardOutput(bytes, timeLimit);
    }
    bool writeStandardError(std::string_view bytes, double timeLimit) override {
        StartupWatch::end();
        return inner_->writeStandardError(bytes, timeLimit);
    }
    bool standardOutputGone() override { return inner_->standardOutputGone(); }
    void exitProcess(int code) override {
        StartupWatch::end();
        inner_->exitProcess(code);
    }

private:
    std::shared_ptr<Output> inner_;
};

// What shows that a thread goes on: it is running (or waiting for a processor), or it has
// switched since the last look. Nothing when it cannot be read.
struct Activity {
    bool running = false;
    long long switches = 0;
};

std::optional<Activity> activityOf(pid_t thread) {
    std::ifstream status("/proc/self/task/" + std::to_string(thread) + "/status");
    if (!status) return std::nullopt;
    Activity activity;
    int found = 0;
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("State:")) {
            activity.running = line.find('R') != std::string::npos;
            ++found;
        } else if (line.starts_with("voluntary_ctxt_switches:") || line.starts_with("nonvoluntary_ctxt_switches:")) {
            activity.switches += std::atoll(line.c_str() + line.find(':') + 1);
            ++found;
        }
    }
    if (found != 3) return std::nullopt;
    return activity;
}

void watchForStall() {
    using Clock = std::chrono::steady_clock;
    const Watch& current = watch();
    std::optional<Activity> last = activityOf(current.mainThread);
    auto quietSince = Clock::now();
    while (current.state.load() == WatchState::armed) {
        std::this_thread::sleep_for(std::chrono::duration<double>(StartupWatch::samplingInterval));
        const std::optional<Activity> now = activityOf(current.mainThread);
        if (!now || !last || now->running || now->switches != last->switches) {
            last = now;
            quietSince = Clock::now();
            continue;
        }
        if (std::chrono::duration<double>(Clock::now() - quietSince).count() >= StartupWatch::stallLimit) {
            StartupWatch::restart(current.fallbackPlatforms);
            return;
        }
    }
}

// Qt ends the process with exit(1) when its display connection breaks while it starts.
void restartWhenEndingEarly() {
    if (!watch().fallbackPlatforms.empty()) StartupWatch::restart(watch().fallbackPlatforms);
}

}  // namespace

void StartupWatch::arm(std::vector<std::string> arguments, Platform& ports) {
    Watch& current = watch();
    if (current.state.load() != WatchState::idle || arguments.empty()) return;
    current.arguments = std::move(arguments);
    const std::string ownVariable = std::string(restartPlatformsVariable) + "=";
    for (char** entry = environ; entry && *entry; ++entry) {
        if (!std::string_view(*entry).starts_with(ownVariable)) current.environment.emplace_back(*entry);
    }
    current.mainThread = ::gettid();
    ports.output = std::make_shared<WatchedOutput>(std::move(ports.output));
    current.state.store(WatchState::armed);
}

bool StartupWatch::isArmed() { return watch().state.load() == WatchState::armed; }

void StartupWatch::restart(std::string_view platforms) {
    Watch& current = watch();
    WatchState expected = WatchState::armed;
    if (!current.state.compare_exchange_strong(expected, WatchState::restarting)) return;
    std::vector<std::string> environment = current.environment;
    environment.push_back(std::string(restartPlatformsVariable) + "=" + std::string(platforms));
    std::vector<char*> argv;
    for (auto& argument : current.arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    // The restarted program sets the host's standard error aside again itself.
    restoreStandardError();
    ::execve("/proc/self/exe", argv.data(), envp.data());
    setStandardErrorAside();
    current.state.store(WatchState::ended);
}

void StartupWatch::restartWhenStalled(std::string platforms) {
    Watch& current = watch();
    if (!isArmed() || !current.fallbackPlatforms.empty() || platforms.empty()) return;
    current.fallbackPlatforms = std::move(platforms);
    std::atexit(restartWhenEndingEarly);
    try {
        std::thread(watchForStall).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the start-up goes on unwatched.
    }
}

void StartupWatch::end() {
    Watch& current = watch();
    WatchState expected = WatchState::armed;
    if (current.state.compare_exchange_strong(expected, WatchState::ended)) return;
    while (current.state.load() == WatchState::restarting) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

}  // namespace kestrum
