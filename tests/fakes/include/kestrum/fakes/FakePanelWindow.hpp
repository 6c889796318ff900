#pragma once
// A panel window that records what the core asked of it; the content's fitting height is a
// function a test chooses.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kestrum/ports/PanelWindow.hpp"

namespace kestrum::fakes {

class FakePanelWindow : public PanelWindow {
public:
    explicit FakePanelWindow(Size initial, PanelWindowDelegate* delegate)
        : delegate(delegate), frame_{0, 0, initial.width, initial.height} {}

    std::function<double(double width)> fittingHeightAt = [](double) { return 150.0; };
    std::vector<std::string> calls;  // "front", "back", "close", "center", "frame", "display-frame", ...
    std::vector<PanelContent> contents;
    std::vector<double> measuredWidths;
    double lastHeightLimit = 0;
    double alpha = 1.0;
    bool ignoresMouse = false;
    bool visible = false;
    bool closed = false;
    PanelWindowDelegate* delegate;

    void setContent(const PanelContent& content) override { contents.push_back(content); }
    double fittingHeight(double width, double heightLimit) override {
        measuredWidths.push_back(width);
        lastHeightLimit = heightLimit;
        return fittingHeightAt(width);
    }
    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame, bool display) override {
        frame_ = frame;
        calls.push_back(display ? "display-frame" : "frame");
    }
    void setContentSize(Size size) override {
        frame_.size = size;
        calls.push_back("content-size");
    }
    void orderFrontRegardless() override {
        visible = true;
        calls.push_back("front");
    }
    void orderBack() override { calls.push_back("back"); }
    void close() override {
        visible = false;
        closed = true;
        calls.push_back("close");
    }
    void setAlphaValue(double a) override { alpha = a; }
    double alphaValue() const override { return alpha; }
    void setIgnoresMouseEvents(bool ignores) override { ignoresMouse = ignores; }
    void center() override { calls.push_back("center"); }

private:
    Rect frame_;
};

class FakePanelWindowFactory : public PanelWindowFactory {
public:
    std::function<double(double)> fittingHeightAt = [](double) { return 150.0; };
    std::vector<FakePanelWindow*> made;  // valid while the panel that owns each one lives

    std::unique_ptr<PanelWindow> makePanelWindow(Size initial, PanelWindowDelegate& delegate) override {
        auto window = std::make_unique<FakePanelWindow>(initial, &delegate);
        window->fittingHeightAt = fittingHeightAt;
        made.push_back(window.get());
        return window;
    }
};

}  // namespace kestrum::fakes
