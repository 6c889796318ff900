#pragma once
// The floating panel's window on a Qt desktop: frameless, above other windows, never takes the
// focus, shown without activating, on every workspace and without a taskbar entry. Frames come
// and go in the system's bottom-left global space and are converted with the primary screen.
#include <QPointer>
#include <QWidget>
#include <memory>

#include "kestrum/desktop/QtScreens.hpp"
#include "kestrum/desktop/ScreenSpace.hpp"
#include "kestrum/ports/PanelWindow.hpp"

namespace kestrum::desktop {

class PanelContentWidget;
struct DelegateLink;

class QtPanelWindow final : public PanelWindow {
public:
    QtPanelWindow(Size initialContentSize, PanelWindowDelegate& delegate);
    ~QtPanelWindow() override;
    QtPanelWindow(const QtPanelWindow&) = delete;
    QtPanelWindow& operator=(const QtPanelWindow&) = delete;

    void setContent(const PanelContent& content) override;
    double fittingHeight(double width, double heightLimit) override;
    Rect frame() const override;
    void setFrame(const Rect& frame, bool display) override;
    void setContentSize(Size size) override;
    void orderFrontRegardless() override;
    void orderBack() override;
    void close() override;
    void setAlphaValue(double alpha) override;
    double alphaValue() const override;
    void setIgnoresMouseEvents(bool ignores) override;
    void center() override;

    QWidget* widget() const;
    PanelContentWidget* content() const;
    // The scale the content is drawn at in the current frame (1 when it fits).
    double contentScale() const;
    bool ignoresMouseEvents() const { return ignoresMouse_; }

private:
    class Window;
    void applyFrame();

    std::shared_ptr<DelegateLink> link_;
    QPointer<Window> window_;
    QPointer<PanelContentWidget> content_;
    Rect frame_;
    bool ignoresMouse_ = false;
    double alpha_ = 1;
};

class QtPanelWindowFactory final : public PanelWindowFactory {
public:
    std::unique_ptr<PanelWindow> makePanelWindow(Size initialContentSize, PanelWindowDelegate& delegate) override;
};

}  // namespace kestrum::desktop
