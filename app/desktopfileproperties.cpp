#include "desktopfileproperties.h"

#include <QGuiApplication>
#include <QPlatformSurfaceEvent>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, false, qstrlen(name), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

void nameDesktopFile(QWindow *window)
{
    // The offscreen platform may offer the X11 interface too, without a connection.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    const QByteArray id = QGuiApplication::desktopFileName().toUtf8();
    if (!connection || id.isEmpty())
        return;
    const xcb_atom_t utf8String = internAtom(connection, "UTF8_STRING");
    for (const char *property : {"_GTK_APPLICATION_ID", "_KDE_NET_WM_DESKTOP_FILE"}) {
        const xcb_atom_t atom = internAtom(connection, property);
        if (atom != XCB_ATOM_NONE && utf8String != XCB_ATOM_NONE)
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()), atom, utf8String,
                                8, uint32_t(id.size()), id.constData());
    }
    xcb_flush(connection);
}

} // namespace

bool DesktopFileProperties::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::PlatformSurface
        && static_cast<QPlatformSurfaceEvent *>(event)->surfaceEventType() == QPlatformSurfaceEvent::SurfaceCreated) {
        auto *window = qobject_cast<QWindow *>(watched);
        if (window && window->isTopLevel())
            nameDesktopFile(window);
    }
    return QObject::eventFilter(watched, event);
}
