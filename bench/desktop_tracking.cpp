// What following the settings window costs on an X11 desktop, as whole processes: a private
// Xvfb with a window manager, N stand-in application windows and a stand-in settings window,
// and the helper's `authorize` with its panel docked below it.
//   - resting: the helper's and the X server's CPU share while nothing moves;
//   - following: the helper's CPU per tracker step (30 a second) while the settings window moves
//     by one pixel 60 times a second.
// CPU time is the sum of every thread's run time (/proc/<pid>/task/*/schedstat, nanoseconds).
//
//   desktop_tracking <KestrumHelper> [seconds=10] [window counts...=10 50 200]

#include <cstdio>
#include <thread>

#include "ProcessCpu.hpp"
#include "X11TestServer.hpp"

namespace {

using namespace kestrum::x11test;
using Clock = std::chrono::steady_clock;

using kestrum::bench::cpuSeconds;

struct Share {
    double helper = 0;
    double server = 0;
};

// CPU seconds per wall-clock second of both processes while `during` runs for `seconds`.
Share measure(pid_t helper, pid_t server, double seconds, const std::function<void()>& during) {
    const double helperStart = cpuSeconds(helper);
    const double serverStart = cpuSeconds(server);
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) during();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    return Share{(cpuSeconds(helper) - helperStart) / elapsed, (cpuSeconds(server) - serverStart) / elapsed};
}

bool run(const std::string& helperPath, int windows, double seconds) {
    XServer::Options options;
    options.windowManager = true;
    XServer server(options);
    if (!server.started()) {
        std::fprintf(stderr, "no private X server with a window manager (Xvfb, openbox)\n");
        return false;
    }
    // Stand-ins spread over the screen, below the settings window.
    for (int i = 0; i < windows; ++i) {
        server.makeWindow({40 + (i * 37) % 1000, 30 + (i * 53) % 600, 320, 240}, "stand-in",
                          "org.example.StandIn" + std::to_string(i), static_cast<std::uint32_t>(100000 + i));
    }
    const xcb_window_t settings = server.makeWindow({100, 50, 900, 600}, "System Settings",
                                                    "com.apple.systempreferences", static_cast<std::uint32_t>(::getpid()));
    const auto settingsGeometry = server.waitForWindow(::getpid(), [](const WindowGeometry&) { return true; });
    if (!settingsGeometry) return false;

    Child helper({helperPath, "authorize", "accessibility", "--app-url", "/Applications/Tazel.app"}, server.environment());
    if (!helper.readLine()) {
        std::fprintf(stderr, "the helper wrote no line\n");
        return false;
    }
    const auto docked = server.waitForWindow(helper.pid(), [&](const WindowGeometry& g) {
        return g.x == settingsGeometry->x + 230 && g.width == settingsGeometry->width - 230;
    });
    if (!docked) {
        std::fprintf(stderr, "the panel did not dock:%s\n", server.describeWindowsOf(helper.pid()).c_str());
        return false;
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));

    const Share resting = measure(helper.pid(), server.serverProcess(), seconds,
                                  [] { std::this_thread::sleep_for(std::chrono::milliseconds(100)); });

    // The window manager's frame is what moves; one pixel right and back, 60 times a second.
    int step = 0;
    const auto frame = *settingsGeometry;
    const Share following = measure(helper.pid(), server.serverProcess(), seconds / 2, [&] {
        server.moveWindow(settings, frame.x + (step++ % 2), frame.y);
        std::this_thread::sleep_for(std::chrono::microseconds(16667));
    });
    // Whether the panel still follows: docked below where the window came to rest.
    const auto moved = server.waitForWindow(::getpid(), [](const WindowGeometry&) { return true; });
    const bool followed = moved && server.waitForWindow(helper.pid(), [&](const WindowGeometry& g) {
        return g.x == moved->x + 230 && g.y == moved->y + moved->height + 3;
    });
    std::printf("%4d windows | resting: helper %6.2f %% of a core, X server %6.2f %% | following: helper %6.3f ms "
                "CPU per step (%5.1f %%), X server %6.2f %%%s\n",
                windows, resting.helper * 100, resting.server * 100, following.helper * 1000 / 30,
                following.helper * 100, following.server * 100, followed ? "" : " (the panel lost the window)");
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <KestrumHelper> [seconds] [window counts...]\n", argv[0]);
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10;
    std::vector<int> counts;
    for (int i = 3; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    if (counts.empty()) counts = {10, 50, 200};
    for (const int windows : counts) {
        if (!run(argv[1], windows, seconds)) return 1;
    }
    return 0;
}
