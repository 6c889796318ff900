#pragma once
// Window-manager hints Qt has no flag for: on every workspace, no taskbar or pager entry.
class QWidget;

namespace kestrum::desktop {

// Sets the hints on the widget's native window before it is first mapped (X11 only; other
// platforms need or allow nothing here).
void applyFloatingPanelHints(QWidget& window);

// Whether a compositing manager draws the screen, so that translucent windows show what is
// behind them (always so where the platform is not X11).
bool compositingManagerRunning();

}  // namespace kestrum::desktop
