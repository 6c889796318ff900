#pragma once
// Loads the Qt desktop shell (libKestrumDesktop.so) from a folder and installs its ports.
// The executable that loads it must export its symbols, so that the shell's references to the
// core resolve to the executable's own copies (one platform(), one main loop).
#include <memory>
#include <string>
#include <string_view>

#include "kestrum/ports/PanelWindow.hpp"

namespace kestrum::desktop {

inline constexpr std::string_view desktopShellFileName = "libKestrumDesktop.so";
inline constexpr const char* desktopShellEntryPoint = "kestrum_install_desktop_shell";

struct DesktopShellLoadResult {
    bool installed = false;
    std::string error;  // what failed, when not installed
};

// Loads the shell from `directory` and runs its entry point. Loading it twice is harmless.
DesktopShellLoadResult loadDesktopShell(std::string_view directory);

// Makes sure a flow can show its panel: loads the shell from `directory`, and when that fails
// installs panels that render nothing, so that the flow (and the process) goes on without a
// display of its own. Leaves an installed panel factory alone.
void prepareDesktopShell(std::string_view directory);

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
