#include "firstframe.h"

#include "benchsupport.h"

#include <QEvent>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QTimer>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>

namespace bench {

namespace {

double msSince(qint64 startNs, qint64 nowNs)
{
    return double(nowNs - startNs) / 1e6;
}

} // namespace

// Every request sent before this one has been carried out by the X server once its reply is back.
void waitForWindowSystem()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t *connection = x11->connection();
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

FirstFrame::FirstFrame(QWidget *watched, std::function<void(qint64)> done)
    : m_watched(watched), m_done(std::move(done))
{
    watched->installEventFilter(this);
}

bool FirstFrame::eventFilter(QObject *watched, QEvent *event)
{
    // The whole window is painted and flushed within the one repaint that delivers
    // this paint event, so a zero timer queued from here runs once the frame is out.
    if (watched == m_watched && event->type() == QEvent::Paint && m_paintNs == 0) {
        m_paintNs = monotonicNs();
        QTimer::singleShot(0, this, &FirstFrame::frameOut);
    }
    return false;
}

void FirstFrame::frameOut()
{
    waitForWindowSystem();
    m_done(m_paintNs);
}

void reportStartupAndExit(const char *mode, qint64 startNs, qint64 appNs, qint64 windowNs, qint64 paintNs,
                          QWidget *window, const QString &extra)
{
    const qint64 frameNs = monotonicNs();
    std::printf("startup mode=%s platform=%s app_ms=%.2f window_ms=%.2f paint_ms=%.2f frame_ms=%.2f "
                "hwm_kb=%lld rss_kb=%lld size=%dx%d%s%s\n",
                mode, qPrintable(QGuiApplication::platformName()), msSince(startNs, appNs),
                msSince(startNs, windowNs), msSince(startNs, paintNs), msSince(startNs, frameNs),
                statusKb("VmHWM"), statusKb("VmRSS"), window->width(), window->height(),
                extra.isEmpty() ? "" : " ", qPrintable(extra));
    std::fflush(stdout);
    std::_Exit(0);
}

} // namespace bench
