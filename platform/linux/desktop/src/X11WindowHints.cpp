#include "X11WindowHints.hpp"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace kestrum::desktop {
namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    if (!reply) return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

}  // namespace

void applyFloatingPanelHints(QWidget& window) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return;
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window.winId());

    const xcb_atom_t stateAtom = internAtom(connection, "_NET_WM_STATE");
    const xcb_atom_t desktopAtom = internAtom(connection, "_NET_WM_DESKTOP");
    std::vector<xcb_atom_t> states;
    for (const char* name : {"_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER",
                             "_NET_WM_STATE_ABOVE"}) {
        if (const xcb_atom_t atom = internAtom(connection, name); atom != XCB_ATOM_NONE) states.push_back(atom);
    }
    if (stateAtom != XCB_ATOM_NONE && !states.empty()) {
        // Appended, so that what Qt itself sets on mapping is kept alongside.
        xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, stateAtom, XCB_ATOM_ATOM, 32,
                            static_cast<std::uint32_t>(states.size()), states.data());
    }
    if (desktopAtom != XCB_ATOM_NONE) {
        const std::uint32_t allDesktops = 0xFFFFFFFF;
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, desktopAtom, XCB_ATOM_CARDINAL, 32, 1,
                            &allDesktops);
    }
    xcb_flush(connection);
}

bool compositingManagerRunning() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return true;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return true;
    xcb_connection_t* connection = x11->connection();
    // The manager of a screen owns the selection _NET_WM_CM_S<screen number>.
    int screen = 0;
    const QByteArray display = qgetenv("DISPLAY");
    if (const auto dot = display.lastIndexOf('.'); dot > display.lastIndexOf(':')) screen = display.mid(dot + 1).toInt();
    const std::string name = "_NET_WM_CM_S" + std::to_string(screen);
    const xcb_atom_t selection = internAtom(connection, name.c_str());
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool owned = reply && reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    return owned;
}

}  // namespace kestrum::desktop
