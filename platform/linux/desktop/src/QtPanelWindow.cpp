#include "kestrum/desktop/QtPanelWindow.hpp"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>
#include <cmath>

#include "X11WindowHints.hpp"
#include "kestrum/desktop/AppCardWidget.hpp"
#include "kestrum/desktop/PanelContentWidget.hpp"
#include "kestrum/desktop/ScreenSpace.hpp"

namespace kestrum::desktop {
namespace {

Rect rectFrom(const QRect& rect) { return Rect{double(rect.x()), double(rect.y()), double(rect.width()), double(rect.height())}; }

QRect roundedRect(const Rect& rect) {
    const int left = static_cast<int>(std::lround(rect.minX()));
    const int top = static_cast<int>(std::lround(rect.minY()));
    const int right = static_cast<int>(std::lround(rect.maxX()));
    const int bottom = static_cast<int>(std::lround(rect.maxY()));
    return QRect(left, top, std::max(1, right - left), std::max(1, bottom - top));
}

}  // namespace

Rect primaryScreenGeometry() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) return rectFrom(screen->geometry());
    return Rect{0, 0, 1440, 900};
}

std::vector<ScreenScale> desktopScreenScales() {
    std::vector<ScreenScale> result;
    for (const QScreen* screen : QGuiApplication::screens()) {
        result.push_back(ScreenScale{rectFrom(screen->geometry()), screen->devicePixelRatio()});
    }
    return result;
}

// The top-level widget. Presses are seen on its QWindow, before any child widget gets them,
// so each press is reported exactly once and then takes its normal path.
class QtPanelWindow::Window : public QWidget {
public:
    explicit Window(std::shared_ptr<DelegateLink> link)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus),
          link_(std::move(link)) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_X11DoNotAcceptFocus);
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_DeleteOnClose, false);
        setFocusPolicy(Qt::NoFocus);
        setWindowTitle(QStringLiteral("Kestrum"));
        winId();  // creates the native window so that its hints can be set before it is mapped
        applyFloatingPanelHints(*this);
        windowHandle()->installEventFilter(this);
    }

    PanelContentWidget* content = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == windowHandle() && event->type() == QEvent::MouseButtonPress) {
            const auto button = static_cast<QMouseEvent*>(event)->button();
            if ((button == Qt::LeftButton || button == Qt::RightButton) && link_->delegate) {
                link_->delegate->panelReceivedMouseDown();
            }
        }
        return false;
    }

    bool event(QEvent* event) override {
        const bool handled = QWidget::event(event);
        if (event->type() == QEvent::WindowActivate && link_->delegate) link_->delegate->panelBecameKeyOrMain();
        return handled;
    }

    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (content) content->setGeometry(rect());
    }

private:
    std::shared_ptr<DelegateLink> link_;
};

QtPanelWindow::QtPanelWindow(Size initialContentSize, PanelWindowDelegate& delegate)
    : link_(std::make_shared<DelegateLink>(DelegateLink{&delegate})),
      window_(new Window(link_)),
      frame_{0, 0, initialContentSize.width, initialContentSize.height} {
    content_ = new PanelContentWidget(link_, window_);
    window_->content = content_;
    applyFrame();
}

QtPanelWindow::~QtPanelWindow() {
    link_->delegate = nullptr;
    if (!window_) return;
    window_->hide();
    // A drag of the card runs its own event loop below us on the stack; its widgets must
    // survive until it returns, and the card deletes the window then.
    if (content_->card() && content_->card()->isRunningDrag()) {
        content_->card()->deleteAfterDrag(window_);
        return;
    }
    delete window_.data();
}

QWidget* QtPanelWindow::widget() const { return window_; }
PanelContentWidget* QtPanelWindow::content() const { return content_; }

void QtPanelWindow::applyFrame() {
    if (!window_) return;
    window_->setGeometry(roundedRect(qtRectFromBottomLeft(frame_, primaryScreenGeometry())));
    content_->setGeometry(window_->rect());
}

void QtPanelWindow::setContent(const PanelContent& content) {
    if (content_) content_->setContent(content);
}

double QtPanelWindow::fittingHeight(double width, double heightLimit) {
    if (!content_) return 0;
    const int needed = content_->fittingHeight(static_cast<int>(std::lround(width)));
    return std::min(static_cast<double>(needed), heightLimit);
}

Rect QtPanelWindow::frame() const { return frame_; }

void QtPanelWindow::setFrame(const Rect& frame, bool display) {
    frame_ = frame;
    applyFrame();
    if (display && window_) window_->update();
}

void QtPanelWindow::setContentSize(Size size) {
    // The origin (bottom-left corner) stays where it is, as a borderless window's content does.
    frame_.size = size;
    applyFrame();
}

// A window kept above all others cannot be put behind them: ordering back drops that state
// first (on the native window only: changing the widget's flags would unmap and remap it), and
// ordering front takes it up again.
void QtPanelWindow::orderFrontRegardless() {
    if (!window_) return;
    if (!window_->isVisible()) window_->show();
    if (QWindow* handle = window_->windowHandle()) handle->setFlag(Qt::WindowStaysOnTopHint, true);
    window_->raise();
}

void QtPanelWindow::orderBack() {
    if (!window_) return;
    if (QWindow* handle = window_->windowHandle()) handle->setFlag(Qt::WindowStaysOnTopHint, false);
    window_->lower();
}

void QtPanelWindow::close() {
    if (window_) window_->hide();
}

void QtPanelWindow::setAlphaValue(double alpha) {
    alpha_ = std::clamp(alpha, 0.0, 1.0);
    if (window_) window_->setWindowOpacity(alpha_);
}

// As set: the window keeps its opacity in 8 bits only.
double QtPanelWindow::alphaValue() const { return alpha_; }

void QtPanelWindow::setIgnoresMouseEvents(bool ignores) {
    ignoresMouse_ = ignores;
    if (!window_) return;
    // On the native window only: changing the widget's flags would unmap and remap it.
    if (QWindow* handle = window_->windowHandle()) handle->setFlag(Qt::WindowTransparentForInput, ignores);
    window_->setAttribute(Qt::WA_TransparentForMouseEvents, ignores);
}

void QtPanelWindow::center() {
    if (!window_) return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const Rect area = screen ? rectFrom(screen->availableGeometry()) : primaryScreenGeometry();
    const Rect centred{area.midX() - frame_.width() / 2, area.midY() - frame_.height() / 2, frame_.width(),
                       frame_.height()};
    frame_ = bottomLeftFromQtRect(centred, primaryScreenGeometry());
    applyFrame();
}

std::unique_ptr<PanelWindow> QtPanelWindowFactory::makePanelWindow(Size initialContentSize,
                                                                   PanelWindowDelegate& delegate) {
    return std::make_unique<QtPanelWindow>(initialContentSize, delegate);
}

}  // namespace kestrum::desktop
