#include "kestrum/desktop/QtPanelWindow.hpp"

#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>
#include <cmath>

#include "FontPreparation.hpp"
#include "X11WindowHints.hpp"
#include "kestrum/FloatingDropPanel.hpp"
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

// The top-level widget. Presses are seen on its QWindow, before any child widget gets them,
// so each press is reported exactly once and then takes its normal path.
//
// The content is shown through a graphics view, so that a frame too small for it (the launch,
// the wait at the pointer) shows all of it, smaller, and every button still works.
class QtPanelWindow::Window : public QWidget {
public:
    Window(std::shared_ptr<DelegateLink> link, PanelContentWidget* content)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus),
          link_(std::move(link)),
          content_(content),
          scene_(new QGraphicsScene(this)),
          view_(new QGraphicsView(scene_, this)) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_X11DoNotAcceptFocus);
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_DeleteOnClose, false);
        setFocusPolicy(Qt::NoFocus);
        setWindowTitle(QStringLiteral("Kestrum"));

        view_->setFrameShape(QFrame::NoFrame);
        view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        view_->setFocusPolicy(Qt::NoFocus);
        view_->setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        view_->setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
        view_->setAttribute(Qt::WA_TranslucentBackground);
        view_->viewport()->setAutoFillBackground(false);
        view_->viewport()->setAttribute(Qt::WA_TranslucentBackground);
        proxy_ = scene_->addWidget(content_);

        winId();  // creates the native window so that its hints can be set before it is mapped
        applyFloatingPanelHints(*this);
        // Without a compositing manager nothing behind a window shows through it: the window is
        // cut to the panel's rounded shape instead.
        shaped_ = !compositingManagerRunning();
        content_->setOpaqueBackground(shaped_);
        windowHandle()->installEventFilter(this);
    }

    // Lays the content out for the window's size: at that size when it fits, otherwise larger
    // and drawn smaller (the core decides by how much). A move alone changes nothing here.
    void layOutContent(bool contentChanged = false) {
        const QSize frame = size();
        if (!contentChanged && frame == laidOutFor_) return;
        laidOutFor_ = frame;
        const double needed = content_->fittingHeight(frame.width());
        scale_ = FloatingDropPanel::contentScale(Size{double(frame.width()), double(frame.height())}, needed);
        proxy_->setScale(scale_);
        proxy_->resize(QSizeF(frame.width() / scale_, frame.height() / scale_));
        scene_->setSceneRect(QRectF(QPointF(0, 0), QSizeF(frame)));
        view_->setGeometry(rect());
        if (shaped_) setMask(QRegion(panelShape(QRectF(rect()), scale_).toFillPolygon().toPolygon()));
    }

    double contentScale() const { return scale_; }

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
        layOutContent();
    }

private:
    std::shared_ptr<DelegateLink> link_;
    PanelContentWidget* content_;
    QGraphicsScene* scene_;
    QGraphicsView* view_;
    QGraphicsProxyWidget* proxy_ = nullptr;
    double scale_ = 1;
    QSize laidOutFor_;
    bool shaped_ = false;
};

QtPanelWindow::QtPanelWindow(Size initialContentSize, PanelWindowDelegate& delegate)
    : link_(std::make_shared<DelegateLink>(DelegateLink{&delegate})),
      frame_{0, 0, initialContentSize.width, initialContentSize.height} {
    content_ = new PanelContentWidget(link_);
    window_ = new Window(link_, content_);
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
    window_->layOutContent();
}

void QtPanelWindow::setContent(const PanelContent& content) {
    if (!content_ || (content_->hasContent() && content_->content() == content)) return;
    content_->setContent(content);
    // What the content needs may have changed with it.
    if (window_) window_->layOutContent(true);
}

double QtPanelWindow::contentScale() const { return window_ ? window_->contentScale() : 1; }

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
    // The panel lays its text out at once: the fonts read beside Qt's start must be ready.
    fonts::awaitPrepared();
    return std::make_unique<QtPanelWindow>(initialContentSize, delegate);
}

}  // namespace kestrum::desktop
