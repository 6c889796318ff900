#include "kestrum/desktop/QtApplication.hpp"

#include <QApplication>
#include <QCursor>
#include <QSocketNotifier>
#include <QTimer>
#include <cmath>
#include <limits>

#include "kestrum/desktop/QtPanelWindow.hpp"
#include "kestrum/desktop/ScreenSpace.hpp"

namespace kestrum::desktop {

QtApplication::QtApplication(std::shared_ptr<LinuxMainLoop> loop)
    : loop_(std::move(loop)), context_(std::make_unique<QObject>()) {
    notifier_ = new QSocketNotifier(static_cast<qintptr>(loop_->wakeDescriptor()), QSocketNotifier::Read,
                                    context_.get());
    QObject::connect(notifier_, &QSocketNotifier::activated, context_.get(), [this] { dispatch(); });
    timer_ = new QTimer(context_.get());
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_, &QTimer::timeout, context_.get(), [this] { dispatch(); });
    armTimer();
}

QtApplication::~QtApplication() = default;

void QtApplication::dispatch() {
    loop_->dispatch();
    // A pass runs the waiting tasks and then the due timers; what the timers post (the tracker's
    // step, the launch's frame) runs in a second pass now rather than after another round of
    // Qt's loop woken by the notifier: one wake-up per tick instead of two.
    loop_->dispatch();
    armTimer();
}

void QtApplication::armTimer() {
    const auto deadline = loop_->nextDeadline();
    if (!deadline) {
        timer_->stop();
        return;
    }
    const double wait = std::ceil((*deadline - loop_->now()) * 1000.0);
    const double limit = static_cast<double>(std::numeric_limits<int>::max());
    timer_->start(wait <= 0 ? 0 : static_cast<int>(std::min(wait, limit)));
}

void QtApplication::run() {
    if (terminated_) {
        exitCode_ = 0;
        return;
    }
    // Work posted before Qt took over is waiting already; the notifier sees it at once.
    armTimer();
    exitCode_ = QApplication::exec();
}

void QtApplication::terminate() {
    terminated_ = true;
    QCoreApplication::exit(0);
}

Point QtApplication::mouseLocation() {
    const QPoint position = QCursor::pos();
    return bottomLeftFromQtPoint(Point{double(position.x()), double(position.y())}, primaryScreenGeometry());
}

}  // namespace kestrum::desktop
