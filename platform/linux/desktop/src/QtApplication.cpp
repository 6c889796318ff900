#include "kestrum/desktop/QtApplication.hpp"

#include <QApplication>
#include <QCursor>
#include <QSocketNotifier>

#include "kestrum/desktop/QtScreens.hpp"
#include "kestrum/desktop/ScreenSpace.hpp"

namespace kestrum::desktop {

QtApplication::QtApplication(std::shared_ptr<LinuxMainLoop> loop)
    : loop_(std::move(loop)), context_(std::make_unique<QObject>()) {
    // Posted work and due timers each make a descriptor of the loop readable; Qt's own timers
    // are not involved, so a tick is one wake-up and one dispatch.
    for (const int descriptor : {loop_->wakeDescriptor(), loop_->timerDescriptor()}) {
        auto* notifier = new QSocketNotifier(static_cast<qintptr>(descriptor), QSocketNotifier::Read, context_.get());
        QObject::connect(notifier, &QSocketNotifier::activated, context_.get(), [this] { dispatch(); });
    }
}

QtApplication::~QtApplication() = default;

void QtApplication::dispatch() {
    loop_->dispatch();
    // A pass runs the waiting tasks and then the due timers; what the timers post (the tracker's
    // step, the launch's frame) runs in a second pass now rather than after another round of
    // Qt's loop woken by the notifier: one wake-up per tick instead of two.
    loop_->dispatch();
}

void QtApplication::run() {
    if (terminated_) {
        exitCode_ = 0;
        return;
    }
    // Work posted and timers scheduled before Qt took over make the descriptors readable already.
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
