#include "lostwindowwatch.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QWidget>

#include <xcb/xcb.h>

Q_LOGGING_CATEGORY(lcWindows, "nihonshib.windows", QtWarningMsg)

bool LostWindowWatch::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & ~0x80) != XCB_DESTROY_NOTIFY)
        return false;
    const auto *destroyed = static_cast<const xcb_destroy_notify_event_t *>(message);
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        // A window the toolkit destroyed itself has gone from the list, or has a new native window.
        if (!window->testAttribute(Qt::WA_WState_Created) || window->internalWinId() != destroyed->window)
            continue;
        qCWarning(lcWindows).noquote() << QStringLiteral("the window %1 was destroyed by another program; it is closed")
                                              .arg(window->windowTitle());
        // Not while the toolkit is handling the event.
        QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
    }
    return false;
}
