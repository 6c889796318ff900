// Cost of docking the panel (run on every frame report, up to 30 a second) and of one frame of
// the launch animation (60 a second for 0.72 s), over a window that only stores what it is
// given and measures the content with a simple width-dependent height.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "kestrum/FloatingDropPanel.hpp"
#include "kestrum/KestrumController.hpp"
#include "kestrum/fakes/FakePlatform.hpp"

namespace {

using namespace kestrum;

class QuietPanelWindow : public PanelWindow {
public:
    void setContent(const PanelContent& content) override { content_ = content; }
    // Text that wraps: narrower panels need more lines.
    double fittingHeight(double width, double) override { return 60 + std::ceil(9000 / width) * 18; }
    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame, bool) override { frame_ = frame; }
    void setContentSize(Size size) override { frame_.size = size; }
    void orderFrontRegardless() override {}
    void orderBack() override {}
    void close() override {}
    void setAlphaValue(double alpha) override { alpha_ = alpha; }
    double alphaValue() const override { return alpha_; }
    void setIgnoresMouseEvents(bool) override {}
    void center() override {}

private:
    PanelContent content_;
    Rect frame_;
    double alpha_ = 1;
};

class QuietPanelWindowFactory : public PanelWindowFactory {
public:
    std::unique_ptr<PanelWindow> makePanelWindow(Size initial, PanelWindowDelegate&) override {
        auto window = std::make_unique<QuietPanelWindow>();
        window->setContentSize(initial);
        return window;
    }
};

struct Scene {
    fakes::FakePlatform fake;
    std::shared_ptr<KestrumController> controller;
    std::shared_ptr<FloatingDropPanel> panel;

    Scene() {
        fake.windowServer->addScreen(1, Rect{0, 0, 1440, 900}, Rect{0, 0, 1440, 875}, Rect{0, 0, 1440, 900});
        fake.windowServer->addScreen(2, Rect{1440, 0, 1920, 1080}, Rect{1440, 80, 1920, 1000},
                                     Rect{1440, -180, 1920, 1080});
        Platform ports = platform();
        ports.panelWindows = std::make_shared<QuietPanelWindowFactory>();
        installPlatform(ports);
        controller = KestrumController::create(
            KestrumConfiguration({URL::fileURL("/Applications/Tazel.app")}, false, std::nullopt));
        panel = FloatingDropPanel::create(controller);
    }
};

void BM_TargetFrame(benchmark::State& state) {
    Scene scene;
    double x = 0;
    for (auto _ : state) {
        x = x > 2400 ? 0 : x + 7;  // a window dragged across both screens
        benchmark::DoNotOptimize(scene.panel->targetFrame(Rect{x, 300, 900, 600}));
    }
}
BENCHMARK(BM_TargetFrame);

void BM_LaunchAnimationStep(benchmark::State& state) {
    Scene scene;
    scene.panel->present(Rect{484, 284, 32, 32}, Rect{100, 500, 900, 600});
    double t = 0;
    for (auto _ : state) {
        t = t > 0.7 ? 0.001 : t + 1.0 / 60;  // stays inside the launch
        scene.fake.mainLoop->setTime(t);
        scene.panel->stepLaunchAnimation();
    }
    benchmark::DoNotOptimize(scene.panel->window().frame());
}
BENCHMARK(BM_LaunchAnimationStep);

}  // namespace
