#include "kestrum/desktop/QtScreens.hpp"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

namespace kestrum::desktop {
namespace {

Rect rectFrom(const QRect& rect) {
    return Rect{double(rect.x()), double(rect.y()), double(rect.width()), double(rect.height())};
}

struct Kept {
    QtScreenState state;
    bool stale = true;
    // The application whose announcements mark the state stale (a later one is followed anew).
    QPointer<QGuiApplication> application;
    QObject receiver;
};

// Made once and kept for the life of the process, like the application it listens to.
Kept& kept() {
    static Kept* const instance = new Kept;
    return *instance;
}

void markStale() { kept().stale = true; }

void follow(QScreen* screen) {
    QObject* receiver = &kept().receiver;
    QObject::connect(screen, &QScreen::geometryChanged, receiver, markStale);
    QObject::connect(screen, &QScreen::availableGeometryChanged, receiver, markStale);
    QObject::connect(screen, &QScreen::logicalDotsPerInchChanged, receiver, markStale);
    QObject::connect(screen, &QScreen::physicalDotsPerInchChanged, receiver, markStale);
}

void follow(QGuiApplication* application) {
    QObject* receiver = &kept().receiver;
    QObject::connect(application, &QGuiApplication::screenAdded, receiver, [](QScreen* screen) {
        follow(screen);
        markStale();
    });
    QObject::connect(application, &QGuiApplication::screenRemoved, receiver, markStale);
    QObject::connect(application, &QGuiApplication::primaryScreenChanged, receiver, markStale);
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QScreen* screen : screens) follow(screen);
}

void read(QtScreenState& state) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    state.primary = screens.isEmpty() ? Rect{0, 0, 1440, 900} : rectFrom(screens.front()->geometry());
    state.scales.clear();
    state.descriptions.clear();
    state.displayBounds.clear();
    std::int64_t number = 0;
    for (const QScreen* screen : screens) {
        const Rect geometry = rectFrom(screen->geometry());
        state.scales.push_back(ScreenScale{geometry, screen->devicePixelRatio()});
        ScreenDescription& description = state.descriptions.emplace_back();
        description.frame = bottomLeftFromQtRect(geometry, state.primary);
        description.visibleFrame = bottomLeftFromQtRect(rectFrom(screen->availableGeometry()), state.primary);
        description.displayNumber.emplace(++number);
        state.displayBounds.push_back(Rect{geometry.x() - state.primary.x(), geometry.y() - state.primary.y(),
                                           geometry.width(), geometry.height()});
    }
    ++state.generation;
}

}  // namespace

const QtScreenState& qtScreens() {
    Kept& kept = desktop::kept();
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (kept.application != application) {
        kept.application = application;
        kept.stale = true;
        if (application) follow(application);
    }
    if (kept.stale || !application) {
        read(kept.state);
        kept.stale = false;
    }
    return kept.state;
}

}  // namespace kestrum::desktop
