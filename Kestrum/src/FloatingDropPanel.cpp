#include "kestrum/FloatingDropPanel.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "kestrum/KestrumController.hpp"
#include "kestrum/KestrumPanelView.hpp"
#include "kestrum/SystemSettings.hpp"
#include "kestrum/ports/Platform.hpp"

namespace kestrum {
namespace {

Rect centred(Point centre, double width, double height) {
    return Rect{centre.x - width / 2, centre.y - height / 2, width, height};
}

}  // namespace

std::shared_ptr<FloatingDropPanel> FloatingDropPanel::create(const std::shared_ptr<KestrumController>& controller) {
    auto panel = std::make_shared<FloatingDropPanel>(Token{}, controller);
    panel->observeController();
    return panel;
}

FloatingDropPanel::FloatingDropPanel(Token, const std::shared_ptr<KestrumController>& controller)
    : panelController_(controller), mainLoop_(platform().mainLoop), localeIdentifier_(controller->localeIdentifier()) {
    window_ = platform().panelWindows->makePanelWindow(Size{initialPanelWidth, minimumPanelHeight}, *this);
    render();
    window_->setContentSize(Size{initialPanelWidth, measureHeight(initialPanelWidth)});
}

FloatingDropPanel::~FloatingDropPanel() {
    // Nothing of a dropped panel may keep running: the timer would only find it gone.
    invalidateLaunchTimer();
}

void FloatingDropPanel::observeController() {
    const auto controller = panelController_.lock();
    if (!controller) return;
    const std::weak_ptr<FloatingDropPanel> weak = weak_from_this();
    controllerChanges_ = controller->observeObjectWillChange([weak] {
        if (const auto self = weak.lock()) self->scheduleRender();
    });
}

// The controller announces before it stores, so the content is rendered in a later step, once
// for any number of announcements in between.
void FloatingDropPanel::scheduleRender() {
    if (renderScheduled_) return;
    const auto loop = mainLoop_;
    if (!loop) return;
    renderScheduled_ = true;
    const std::weak_ptr<FloatingDropPanel> weak = weak_from_this();
    loop->post([weak] {
        if (const auto self = weak.lock()) {
            self->renderScheduled_ = false;
            self->render();
        }
    });
}

void FloatingDropPanel::render() {
    if (const auto controller = panelController_.lock()) {
        window_->setContent(makePanelContent(*controller, localeIdentifier_));
    }
}

double FloatingDropPanel::measureHeight(double width) {
    const double fitting = window_->fittingHeight(width, sizingHeightLimit);
    // A measurement that is not a number would make the whole frame unusable.
    if (!std::isfinite(fitting)) return minimumPanelHeight;
    return std::max(fitting, minimumPanelHeight);
}

void FloatingDropPanel::invalidateLaunchTimer() {
    if (auto timer = std::exchange(launchTimer_, nullptr)) timer->invalidate();
}

// MARK: Geometry

Rect FloatingDropPanel::targetFrame(const Rect& settingsFrame) {
    const Rect& s = settingsFrame;
    Rect area = s;
    if (const auto& windowServer = platform().windowServer) {
        for (const ScreenDescription& screen : windowServer->screens()) {
            if (screen.frame.intersects(s)) {
                area = screen.visibleFrame;
                break;
            }
        }
    }
    double width = std::min(area.width() - 2 * screenInset, std::max(s.width() - sidebarWidth, minimumPanelWidth));
    // A usable area narrower than the two insets leaves no width at all; a window needs some.
    if (!(width > 0)) width = minimumPanelWidth;
    const double height = measureHeight(width);

    const double wantedX = s.minX() + sidebarWidth;
    const double wantedY = s.minY() - height;
    // Far edge first, then the near edge, so that the left and bottom edges win on a small area.
    const double x = std::max(area.minX() + screenInset, std::min(wantedX, area.maxX() - width - screenInset));
    const double y = std::max(area.minY() + screenInset, std::min(wantedY, area.maxY() - height - screenInset));
    return Rect{x, y, width, height};
}

double FloatingDropPanel::launchProgress(double elapsed) {
    const double omega = 2 * std::numbers::pi / animationResponse;
    const double t = std::max(elapsed, 0.0);
    const double p = 1 - (1 + omega * t) * std::exp(-omega * t);
    return std::clamp(p, 0.0, 1.0);
}

Rect FloatingDropPanel::curvedFrame(const Rect& from, const Rect& to, double progress) {
    const double p = progress;
    const double width = from.width() + (to.width() - from.width()) * p;
    const double height = from.height() + (to.height() - from.height()) * p;

    const Point a{from.midX(), from.midY()};
    const Point b{to.midX(), to.midY()};
    const double distance = std::hypot(b.x - a.x, b.y - a.y);
    const double lift = std::min(std::max(0.18 * distance, 44.0), 140.0);
    const Point control{(a.x + b.x) / 2, std::max(a.y, b.y) + lift};

    const double q = 1 - p;
    const Point centre{q * q * a.x + 2 * q * p * control.x + p * p * b.x,
                       q * q * a.y + 2 * q * p * control.y + p * p * b.y};
    return centred(centre, width, height);
}

double FloatingDropPanel::contentScale(Size frame, double fittingHeight) {
    if (!std::isfinite(fittingHeight) || !(frame.height > 0) || frame.height >= fittingHeight) return 1;
    return frame.height / fittingHeight;
}

// MARK: Moves

void FloatingDropPanel::present(const Rect& source, const Rect& settingsFrame) {
    invalidateLaunchTimer();
    const Rect target = targetFrame(settingsFrame);
    if (source.isEmpty()) {
        isAnimatingLaunch_ = false;
        window_->setAlphaValue(1.0);
        window_->setFrame(target, false);
        window_->orderFrontRegardless();
        return;
    }
    isAnimatingLaunch_ = true;
    const Rect current = window_->frame();
    const double width = std::max(source.width(), current.width() * minimumLaunchScale);
    const double height = std::max(source.height(), current.height() * minimumLaunchScale);
    launchFromFrame_ = centred(Point{source.midX(), source.midY()}, width, height);
    launchToFrame_ = target;
    launchStartTime_ = mainLoop_ ? mainLoop_->now() : 0;

    window_->setAlphaValue(initialAlpha);
    window_->setFrame(launchFromFrame_, false);
    window_->orderFrontRegardless();
    stepLaunchAnimation();
    if (!isAnimatingLaunch_ || !mainLoop_) return;

    const std::weak_ptr<FloatingDropPanel> weak = weak_from_this();
    const std::weak_ptr<MainLoop> loop = mainLoop_;
    launchTimer_ = mainLoop_->scheduleRepeating(launchStepInterval, RunLoopMode::common, [weak, loop] {
        const auto mainLoop = loop.lock();
        if (weak.expired() || !mainLoop) return;
        mainLoop->post([weak] {
            // A tick queued before the launch ended (a show, the finishing step) must not move
            // the panel any more.
            if (const auto self = weak.lock(); self && self->isAnimatingLaunch_) self->stepLaunchAnimation();
        });
    });
}

void FloatingDropPanel::stepLaunchAnimation() {
    const double now = mainLoop_ ? mainLoop_->now() : launchStartTime_;
    const double elapsed = now - launchStartTime_;
    if (elapsed >= animationDuration) {
        isAnimatingLaunch_ = false;
        invalidateLaunchTimer();
        window_->setAlphaValue(1.0);
        window_->setFrame(launchToFrame_, true);
        return;
    }
    const double p = launchProgress(elapsed);
    window_->setAlphaValue(initialAlpha + (1 - initialAlpha) * p);
    window_->setFrame(curvedFrame(launchFromFrame_, launchToFrame_, p), true);
}

void FloatingDropPanel::snap(const Rect& settingsFrame) {
    const Rect target = targetFrame(settingsFrame);
    if (isAnimatingLaunch_) {
        launchToFrame_ = target;
        return;
    }
    invalidateLaunchTimer();
    window_->setFrame(target, false);
    window_->orderFrontRegardless();
}

void FloatingDropPanel::show(const Rect& source) {
    invalidateLaunchTimer();
    isAnimatingLaunch_ = false;
    window_->setAlphaValue(1.0);
    const double currentWidth = window_->frame().width();
    window_->setContentSize(Size{currentWidth, measureHeight(currentWidth)});
    const Rect resized = window_->frame();
    const double width = std::max(source.width(), resized.width() * minimumLaunchScale);
    const double height = std::max(source.height(), resized.height() * minimumLaunchScale);
    window_->setFrame(centred(Point{source.midX(), source.midY()}, width, height), false);
    window_->orderFrontRegardless();
}

void FloatingDropPanel::updateLocaleIdentifier(const std::optional<std::string>& localeIdentifier) {
    if (localeIdentifier == localeIdentifier_) return;
    localeIdentifier_ = localeIdentifier;
    if (panelController_.expired()) return;
    render();
    const double width = window_->frame().width();
    window_->setContentSize(Size{width, measureHeight(width)});
}

// MARK: Clicks and buttons

void FloatingDropPanel::bringSettingsAndPanelForward() {
    const auto self = shared_from_this();
    const auto controller = panelController_.lock();
    if (!controller) return;
    SystemSettings::activate();
    if (FloatingDropPanel* current = controller->panel()) current->window().orderFrontRegardless();
}

void FloatingDropPanel::panelReceivedMouseDown() { bringSettingsAndPanelForward(); }

void FloatingDropPanel::panelBecameKeyOrMain() { bringSettingsAndPanelForward(); }

void FloatingDropPanel::settingsButtonPressed() {
    const auto self = shared_from_this();
    if (const auto controller = panelController_.lock()) controller->reopenCurrentPane();
}

void FloatingDropPanel::closeButtonPressed() {
    // Ending the flow drops this panel; it stays alive until the call returns.
    const auto self = shared_from_this();
    if (const auto controller = panelController_.lock()) controller->closePanel(true);
}

void FloatingDropPanel::dragStateChanged(bool dragging) {
    const auto self = shared_from_this();
    if (const auto controller = panelController_.lock()) controller->setDraggingApp(dragging);
}

}  // namespace kestrum
