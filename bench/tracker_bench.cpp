// Cost of one tracker step (run 30 times a second): finding System Settings, scanning the
// window list, converting every kept window through the screens and, when trusted, reading
// the accessibility frame. Arguments: window entries in the list, screens.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "kestrum/SettingsWindowTracker.hpp"
#include "kestrum/WindowFrames.hpp"
#include "kestrum/fakes/FakeAccessibility.hpp"
#include "kestrum/fakes/FakeMainLoop.hpp"
#include "kestrum/fakes/FakeWindowServer.hpp"

namespace {

using namespace kestrum;

constexpr std::int32_t kSettingsPID = 501;
constexpr int kWindow = 9001;

// A workspace that answers without recording anything (the test fake keeps a call log that
// would grow over millions of steps).
class QuietWorkspace : public Workspace {
public:
    void launchApplication(const URL&) override {}
    bool openURL(const URL&) override { return true; }
    std::vector<RunningApplication> runningApplications(std::string_view bundleIdentifier) override {
        return bundleIdentifier == "com.apple.systempreferences" ? running : std::vector<RunningApplication>{};
    }
    std::optional<RunningApplication> runningApplication(std::int32_t) override { return std::nullopt; }
    void activateIgnoringOtherApps(const RunningApplication&) override {}
    std::optional<RunningApplication> frontmostApplication() override { return std::nullopt; }
    Subscription observeApplicationActivation(std::function<void()>) override { return {}; }

    std::vector<RunningApplication> running{
        {kSettingsPID, std::string("com.apple.systempreferences"), ActivationPolicy::regular}};
};

// Screens side by side, each 1920 x 1080, the primary first.
void addScreens(fakes::FakeWindowServer& server, int count) {
    for (int i = 0; i < count; ++i) {
        const double x = 1920.0 * i;
        const auto display = static_cast<std::uint32_t>(i + 1);
        // Built in place: moving a LooseValue here trips a false maybe-uninitialized in GCC 12.
        auto& screen = server.screenList.emplace_back();
        screen.frame = Rect{x, 0, 1920, 1080};
        screen.visibleFrame = Rect{x, 0, 1920, 1055};
        screen.displayNumber.emplace(static_cast<std::int64_t>(display));
        server.bounds[display] = Rect{x, 0, 1920, 1080};
    }
}

// `count` on-screen windows, front to back, spread over the screens; System Settings owns three
// of them (its window, a small sheet and a floating layer-3 panel) half way down the list.
LooseValue windowList(int count, int screens) {
    LooseList entries;
    entries.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double x = 40.0 * (i % 40) + 1920.0 * (i % screens);
        const double y = 20.0 * (i % 30);
        std::int32_t pid = 1000 + i % 57;
        int layer = i % 11 == 0 ? 25 : 0;
        Rect bounds{x, y, 600, 450};
        if (i == count / 2) {
            pid = kSettingsPID;
            layer = 0;
            bounds = Rect{1820, 100, 800, 600};  // across the first two screens when there are two
        } else if (i == count / 2 + 1) {
            pid = kSettingsPID;
            layer = 0;
            bounds = Rect{200, 150, 400, 250};
        } else if (i == count / 2 + 2) {
            pid = kSettingsPID;
            layer = 3;
        }
        entries.push_back(fakes::windowEntry(pid, bounds, layer, 1.0));
    }
    return LooseValue(std::move(entries));
}

struct Setup {
    std::shared_ptr<QuietWorkspace> workspace = std::make_shared<QuietWorkspace>();
    std::shared_ptr<fakes::FakeAccessibility> accessibility = std::make_shared<fakes::FakeAccessibility>();
    std::shared_ptr<fakes::FakeWindowServer> windowServer = std::make_shared<fakes::FakeWindowServer>();
    std::shared_ptr<fakes::FakeMainLoop> mainLoop = std::make_shared<fakes::FakeMainLoop>();
    std::shared_ptr<SettingsWindowTracker> tracker;

    Setup(int windows, int screens, bool trusted) {
        addScreens(*windowServer, screens);
        windowServer->windowList = windowList(windows, screens);
        accessibility->trusted = trusted;
        accessibility->set(kSettingsPID, "AXMainWindow", fakes::element(kWindow));
        accessibility->set(kWindow, "AXPosition", Point{1820, 100});
        accessibility->set(kWindow, "AXSize", Size{800, 600});
        tracker = SettingsWindowTracker::create({workspace, accessibility, windowServer, mainLoop});
        tracker->startTracking(false);
    }
};

// One step as the poll runs it without accessibility access: window list and conversion only.
void BM_TrackerStep(benchmark::State& state) {
    Setup setup(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), false);
    for (auto _ : state) {
        setup.tracker->attachIfNeeded();
        benchmark::DoNotOptimize(setup.tracker->currentFrame());
    }
    if (!setup.tracker->currentFrame()) state.SkipWithError("the settings window was not found");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TrackerStep)->ArgsProduct({{20, 200, 1000}, {1, 2, 4}})->ArgNames({"windows", "screens"});

// The same step when trusted: the accessibility frame is read and converted as well.
void BM_TrackerStepTrusted(benchmark::State& state) {
    Setup setup(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), true);
    for (auto _ : state) {
        setup.tracker->attachIfNeeded();
        benchmark::DoNotOptimize(setup.tracker->currentFrame());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TrackerStepTrusted)->ArgsProduct({{20, 200, 1000}, {1, 2, 4}})->ArgNames({"windows", "screens"});

// The window-list decision alone, over screen pairs read once.
void BM_WindowServerFrame(benchmark::State& state) {
    fakes::FakeWindowServer server;
    addScreens(server, static_cast<int>(state.range(1)));
    const auto list = std::optional<LooseValue>(windowList(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
    const auto pairs = screenPairs(server);
    const auto convert = [&pairs](const Rect& r) { return appKitFrame(r, pairs); };
    for (auto _ : state) benchmark::DoNotOptimize(windowServerFrame(kSettingsPID, list, convert));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WindowServerFrame)->ArgsProduct({{20, 200, 1000}, {1, 4}})->ArgNames({"windows", "screens"});

}  // namespace
