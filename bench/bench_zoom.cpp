// One zoom step in each document the student can zoom: the booklet, the pass-line
// table, the help and the review. Each step is a Ctrl++ or Ctrl+- key press sent to
// the viewer, timed until the frame that shows the new size is on screen; between
// steps the program idles as it would between two presses, so what the viewer
// leaves for later (the rest of the layout) is done by then. Steps run up from
// 100 % to 300 %, down to 50 % and up again, with the view at the top of the
// document and, in a second run, scrolled to its middle.
#include "answerkey.h"
#include "benchsupport.h"
#include "examwindow.h"
#include "firstframe.h"
#include "helpwindow.h"
#include "reviewwindow.h"
#include "richtextview.h"
#include "verdictwindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

void idleFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void showAndWait(QWidget *window)
{
    window->show();
    // Under X the window is painted only once the server has mapped it.
    const qint64 deadline = bench::monotonicNs() + qint64(5) * 1000000000;
    while (!(window->windowHandle() && window->windowHandle()->isExposed()) && bench::monotonicNs() < deadline)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    idleFor(300);
}

// Counts the paints of a widget.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget) : m_widget(widget) { widget->installEventFilter(this); }
    int count() const { return m_count; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_widget && event->type() == QEvent::Paint)
            ++m_count;
        return false;
    }

private:
    QWidget *m_widget = nullptr;
    int m_count = 0;
};

// CPU time of this (the GUI) thread: unlike the wall clock, it does not count the
// time spent waiting for a core on a busy machine.
qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

struct Step
{
    double wallMs = 0;
    double cpuMs = 0;
};

// From the key press until the viewer's repaint is flushed and on screen.
Q_NEVER_INLINE Step zoomStep(RichTextView *viewer, PaintCounter &paints, int key)
{
    const int before = paints.count();
    const qint64 cpuStart = threadCpuNs();
    const qint64 start = bench::monotonicNs();
    QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::ControlModifier);
    QApplication::sendEvent(viewer, &press);
    QApplication::sendEvent(viewer, &release);
    // The repaint is a posted update request, flushed as soon as it is handled.
    const qint64 deadline = start + qint64(5) * 1000000000;
    while (paints.count() == before && bench::monotonicNs() < deadline)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    bench::waitForWindowSystem();
    return {double(bench::monotonicNs() - start) / 1e6, double(threadCpuNs() - cpuStart) / 1e6};
}

// Which positions to step at: "top", "middle" or, empty, both.
QString onlyPosition;
// The idle time between two steps (longer under a profiler, which slows the rest of
// the layout that the viewer leaves for idle time).
int idleMs = 150;

struct Steps
{
    double median = 0;
    double worst = 0;
    int zoomAtWorst = 0;
    double cpuMedian = 0;
    double cpuWorst = 0;
};

Steps zoomSteps(RichTextView *viewer, int count, bool middle)
{
    viewer->setZoomPercent(100);
    idleFor(200);
    if (middle) {
        QScrollBar *bar = viewer->verticalScrollBar();
        bar->setValue((bar->minimum() + bar->maximum()) / 2);
        idleFor(200);
    }
    PaintCounter paints(viewer->viewport());
    std::vector<double> times;
    std::vector<double> cpuTimes;
    Steps steps;
    int direction = 1;
    for (int i = 0; i < count; ++i) {
        if (viewer->zoomPercent() >= RichTextView::largestZoomPercent)
            direction = -1;
        else if (viewer->zoomPercent() <= RichTextView::smallestZoomPercent)
            direction = 1;
        const Step step = zoomStep(viewer, paints, direction > 0 ? Qt::Key_Plus : Qt::Key_Minus);
        times.push_back(step.wallMs);
        cpuTimes.push_back(step.cpuMs);
        if (step.wallMs > steps.worst) {
            steps.worst = step.wallMs;
            steps.zoomAtWorst = viewer->zoomPercent();
        }
        steps.cpuWorst = std::max(steps.cpuWorst, step.cpuMs);
        idleFor(idleMs);
    }
    steps.median = bench::median(times);
    steps.cpuMedian = bench::median(cpuTimes);
    viewer->setZoomPercent(100);
    idleFor(200);
    return steps;
}


// --grab DIR: instead of timing, writes what the viewer shows at a few zooms, scrolled
// to the top and halfway, once the layout has settled, to compare two builds' pixels.
// Each zoom is reached as a reader reaches it, by Ctrl++ or Ctrl+- pressed in quick
// succession from 100 %, so the grab shows the steps' result.
QString grabFolder;

void pressZoomKey(RichTextView *viewer, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::ControlModifier);
    QApplication::sendEvent(viewer, &press);
    QApplication::sendEvent(viewer, &release);
}

void zoomByKeys(RichTextView *viewer, int percent)
{
    while (viewer->zoomPercent() != percent)
        pressZoomKey(viewer, viewer->zoomPercent() < percent ? Qt::Key_Plus : Qt::Key_Minus);
}

void grab(const char *document, RichTextView *viewer)
{
    for (bool middle : {false, true}) {
        for (int percent : {50, 100, 150, 300}) {
            viewer->setZoomPercent(100);
            idleFor(300);
            QScrollBar *bar = viewer->verticalScrollBar();
            bar->setValue(middle ? (bar->minimum() + bar->maximum()) / 2 : bar->minimum());
            idleFor(100);
            zoomByKeys(viewer, percent);
            idleFor(300);
            // However busy the machine, the steps have scaled the whole document, which
            // is laid out and the scroll bar's range settled.
            const qint64 deadline = bench::monotonicNs() + qint64(10) * 1000000000;
            while (viewer->isZooming() && bench::monotonicNs() < deadline)
                idleFor(50);
            if (viewer->isZooming())
                std::fprintf(stderr, "%s: the zoom to %d %% did not settle\n", document, percent);
            viewer->document()->size();
            idleFor(100);
            viewer->window()->grab().save(QStringLiteral("%1/%2-%3-%4.png")
                                              .arg(grabFolder, QLatin1String(document),
                                                   QLatin1String(middle ? "middle" : "top"))
                                              .arg(percent));
        }
    }
    viewer->setZoomPercent(100);
    idleFor(300);
}

void report(const char *document, QWidget *window, int count)
{
    auto *viewer = window->findChild<RichTextView *>(QStringLiteral("RichTextBox1"));
    if (!grabFolder.isEmpty()) {
        grab(document, viewer);
        return;
    }
    for (bool middle : {false, true}) {
        if (!onlyPosition.isEmpty() && onlyPosition != QLatin1String(middle ? "middle" : "top"))
            continue;
        const Steps steps = zoomSteps(viewer, count, middle);
        std::printf("zoom platform=%s document=%s position=%s steps=%d median_ms=%.2f worst_ms=%.2f "
                    "zoom_at_worst=%d cpu_median_ms=%.2f cpu_worst_ms=%.2f\n",
                    qPrintable(QGuiApplication::platformName()), document, middle ? "middle" : "top", count,
                    steps.median, steps.worst, steps.zoomAtWorst, steps.cpuMedian, steps.cpuWorst);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const int count = qMax(1, bench::intArgument(arguments, QStringLiteral("--steps"), 30));
    // --document NAME: that document alone.
    const qsizetype named = arguments.indexOf(QStringLiteral("--document"));
    const QString only = named >= 0 ? arguments.value(named + 1) : QString();
    const auto wanted = [&](const char *document) { return only.isEmpty() || only == QLatin1String(document); };
    // --position top|middle: that position alone.
    const qsizetype position = arguments.indexOf(QStringLiteral("--position"));
    onlyPosition = position >= 0 ? arguments.value(position + 1) : QString();
    idleMs = qMax(0, bench::intArgument(arguments, QStringLiteral("--idle-ms"), idleMs));
    const qsizetype grabbing = arguments.indexOf(QStringLiteral("--grab"));
    grabFolder = grabbing >= 0 ? arguments.value(grabbing + 1) : QString();

    if (wanted("booklet")) {
        ExamWindow window;
        showAndWait(&window);
        report("booklet", &window, count);
    }
    if (wanted("passlines")) {
        VerdictWindow window(1);
        showAndWait(&window);
        report("passlines", &window, count);
    }
    if (wanted("help")) {
        HelpWindow window;
        showAndWait(&window);
        report("help", &window, count);
    }
    if (wanted("review")) {
        // A run with every question answered by the key's box: all 36 explanations.
        Marking marking;
        for (int question = 1; question <= questionCount; ++question) {
            const AnswerKeyRow &row = answerKey[size_t(question - 1)];
            marking.question(question).setTicked(row.correctBox, true);
            marking.question(question).points = row.points;
        }
        marking.total = totalPoints();
        // The review quotes the booklet as the exam window shows it.
        RichTextView booklet;
        booklet.loadRtfFile(QStringLiteral(":/documents/booklet.rtf"));
        ReviewWindow window(booklet.document()->toPlainText());
        window.showMarking(marking);
        showAndWait(&window);
        report("review", &window, count);
    }
    return 0;
}
