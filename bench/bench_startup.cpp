// Start-up: from process start to the first frame of the exam window with the
// booklet laid out, and the peak resident memory by then. With --empty the same
// measurement of a bare QMainWindow of the same size is the floor to compare with.
#include "benchsupport.h"
#include "examwindow.h"

#include <QApplication>
#include <QMainWindow>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

// Watches for the first paint of the top-level window. The whole widget tree is
// painted and flushed within the one event that delivers it, so a zero timer
// queued from there runs once the frame is out.
class FirstFrameWatcher : public QObject
{
public:
    // paintNs receives the moment of the first paint.
    FirstFrameWatcher(QWidget *window, qint64 *paintNs, std::function<void()> onFrame)
        : m_window(window), m_paintNs(paintNs), m_onFrame(std::move(onFrame))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Paint && *m_paintNs == 0) {
            *m_paintNs = bench::monotonicNs();
            QTimer::singleShot(0, m_window, m_onFrame);
        }
        return false;
    }

private:
    QWidget *m_window = nullptr;
    qint64 *m_paintNs = nullptr;
    std::function<void()> m_onFrame;
};

double msSince(qint64 startNs, qint64 nowNs)
{
    return double(nowNs - startNs) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    const qint64 startNs = bench::processStartNs();
    const qint64 mainNs = bench::monotonicNs();

    QApplication app(argc, argv);
    const qint64 appNs = bench::monotonicNs();
    const QStringList arguments = QApplication::arguments();
    const bool empty = arguments.contains(QStringLiteral("--empty"));

    std::unique_ptr<QMainWindow> window;
    QTextEdit *booklet = nullptr;
    if (empty) {
        window = std::make_unique<QMainWindow>();
        window->resize(bench::intArgument(arguments, QStringLiteral("--width"), 792),
                       bench::intArgument(arguments, QStringLiteral("--height"), 572));
    } else {
        window = std::make_unique<ExamWindow>();
        booklet = window->findChild<QTextEdit *>(QStringLiteral("RichTextBox1"));
    }
    const qint64 windowNs = bench::monotonicNs();

    qint64 paintNs = 0;
    FirstFrameWatcher watcher(window.get(), &paintNs, [&] {
        const qint64 frameNs = bench::monotonicNs();
        // The booklet lays itself out lazily, a screenful at a time; asking for its
        // size finishes the layout of the whole document.
        qreal bookletHeight = 0;
        if (booklet)
            bookletHeight = booklet->document()->size().height();
        const qint64 laidOutNs = bench::monotonicNs();
        std::printf("startup mode=%s platform=%s main_ms=%.2f app_ms=%.2f window_ms=%.2f paint_ms=%.2f "
                    "frame_ms=%.2f laidout_ms=%.2f booklet_height=%.0f hwm_kb=%lld rss_kb=%lld size=%dx%d\n",
                    empty ? "empty" : "exam", qPrintable(QGuiApplication::platformName()),
                    msSince(startNs, mainNs), msSince(startNs, appNs), msSince(startNs, windowNs),
                    msSince(startNs, paintNs), msSince(startNs, frameNs),
                    msSince(startNs, laidOutNs), double(bookletHeight), bench::statusKb("VmHWM"),
                    bench::statusKb("VmRSS"), window->width(), window->height());
        std::fflush(stdout);
        QCoreApplication::quit();
    });

    window->show();
    return QApplication::exec();
}
