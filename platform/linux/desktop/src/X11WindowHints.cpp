#include "X11WindowHints.hpp"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace kestrum::desktop {
namespace {

// The atoms of `names`, in their order (XCB_ATOM_NONE for one the server did not answer), asked
// for together: one round trip however many there are.
template <std::size_t count>
std::array<xcb_atom_t, count> internAtoms(xcb_connection_t* connection, const std::array<const char*, count>& names) {
    std::array<xcb_intern_atom_cookie_t, count> cookies{};
    for (std::size_t i = 0; i < count; ++i) {
        cookies[i] = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(names[i])), names[i]);
    }
    std::array<xcb_atom_t, count> atoms{};
    for (std::size_t i = 0; i < count; ++i) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookies[i], nullptr);
        atoms[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
    }
    return atoms;
}

}  // namespace

void applyFloatingPanelHints(QWidget& window) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return;
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window.winId());

    const auto atoms = internAtoms<6>(connection, {"_NET_WM_STATE", "_NET_WM_DESKTOP", "_NET_WM_STATE_STICKY",
                                                   "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER",
                                                   "_NET_WM_STATE_ABOVE"});
    const xcb_atom_t stateAtom = atoms[0];
    const xcb_atom_t desktopAtom = atoms[1];
    std::vector<xcb_atom_t> states;
    std::copy_if(atoms.begin() + 2, atoms.end(), std::back_inserter(states),
                 [](xcb_atom_t atom) { return atom != XCB_ATOM_NONE; });
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
    const xcb_atom_t selection = internAtoms<1>(connection, {name.c_str()})[0];
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool owned = reply && reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    return owned;
}

}  // namespace kestrum::desktop
