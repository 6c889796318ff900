#pragma once
// The window half of the floating panel. Everything it does is decided by the core; a shell
// only performs these operations and reports what the user did through the delegate.
#include <memory>

#include "kestrum/Geometry.hpp"
#include "kestrum/PanelContent.hpp"

namespace kestrum {

class PanelWindowDelegate {
public:
    virtual ~PanelWindowDelegate() = default;
    // A left or right mouse-down reached the panel (it then takes its normal path).
    virtual void panelReceivedMouseDown() = 0;
    // The window system made the panel key or main anyway.
    virtual void panelBecameKeyOrMain() = 0;
    virtual void settingsButtonPressed() = 0;
    virtual void closeButtonPressed() = 0;
    // A drag session of the card began (true) or ended (false).
    virtual void dragStateChanged(bool dragging) = 0;
};

class PanelWindow {
public:
    virtual ~PanelWindow() = default;
    // Renders the content (replacing what was shown).
    virtual void setContent(const PanelContent& content) = 0;
    // The height the content needs at `width`, laid out with `heightLimit` points of room.
    virtual double fittingHeight(double width, double heightLimit) = 0;
    // Frame in bottom-left global coordinates.
    virtual Rect frame() const = 0;
    virtual void setFrame(const Rect& frame, bool display) = 0;
    virtual void setContentSize(Size size) = 0;
    virtual void orderFrontRegardless() = 0;
    virtual void orderBack() = 0;
    virtual void close() = 0;
    virtual void setAlphaValue(double alpha) = 0;
    virtual double alphaValue() const = 0;
    virtual void setIgnoresMouseEvents(bool ignores) = 0;
    virtual void center() = 0;
};

class PanelWindowFactory {
public:
    virtual ~PanelWindowFactory() = default;
    // A configured, hidden panel window with the initial content size. The delegate outlives it.
    virtual std::unique_ptr<PanelWindow> makePanelWindow(Size initialContentSize, PanelWindowDelegate& delegate) = 0;
};

}  // namespace kestrum
