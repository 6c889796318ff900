#pragma once
// Panels for a run without a desktop shell: the flow goes on, and nothing is drawn.
#include <memory>

#include "kestrum/ports/PanelWindow.hpp"

namespace kestrum::desktop {

// A panel window without a display: keeps what it is told (frame, opacity, visibility) and
// measures its content at a fixed height.
class HeadlessPanelWindow final : public PanelWindow {
public:
    static constexpr double contentHeight = 96;
    explicit HeadlessPanelWindow(Size initialContentSize) : frame_{0, 0, initialContentSize.width, initialContentSize.height} {}

    void setContent(const PanelContent&) override {}
    double fittingHeight(double, double heightLimit) override { return contentHeight < heightLimit ? contentHeight : heightLimit; }
    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame, bool) override { frame_ = frame; }
    void setContentSize(Size size) override { frame_.size = size; }
    void orderFrontRegardless() override { visible_ = true; }
    void orderBack() override {}
    void close() override { visible_ = false; }
    void setAlphaValue(double alpha) override { alpha_ = alpha; }
    double alphaValue() const override { return alpha_; }
    void setIgnoresMouseEvents(bool) override {}
    void center() override {}
    bool isVisible() const { return visible_; }

private:
    Rect frame_;
    double alpha_ = 1;
    bool visible_ = false;
};

class HeadlessPanelWindowFactory final : public PanelWindowFactory {
public:
    std::unique_ptr<PanelWindow> makePanelWindow(Size initialContentSize, PanelWindowDelegate&) override {
        return std::make_unique<HeadlessPanelWindow>(initialContentSize);
    }
};

}  // namespace kestrum::desktop
