#pragma once

#include <QObject>

// Qt 6.4 names a window's application on X11 only through WM_CLASS (the desktop
// file's StartupWMClass). Docks and task switchers also look for the desktop file's
// ID on the window itself: GNOME Shell in _GTK_APPLICATION_ID, KDE Plasma in
// _KDE_NET_WM_DESKTOP_FILE. Installed on the application, this sets both to
// QGuiApplication::desktopFileName() on every top-level window as it is made.
// Elsewhere (Wayland) the platform hands the ID on itself.
class DesktopFileProperties : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override;
};
