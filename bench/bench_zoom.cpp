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

// Milliseconds from the key press until the viewer's repaint is flushed and on screen.
double zoomStep(RichTextView *viewer, PaintCounter &paints, int key)
{
    const int before = paints.count();
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
    return double(bench::monotonicNs() - start) / 1e6;
}

struct Steps
{
    double median = 0;
    double worst = 0;
    int zoomAtWorst = 0;
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
    Steps steps;
    int direction = 1;
    for (int i = 0; i < count; ++i) {
        if (viewer->zoomPercent() >= RichTextView::largestZoomPercent)
            direction = -1;
        else if (viewer->zoomPercent() <= RichTextView::smallestZoomPercent)
            direction = 1;
        const double ms = zoomStep(viewer, paints, direction > 0 ? Qt::Key_Plus : Qt::Key_Minus);
        times.push_back(ms);
        if (ms > steps.worst) {
            steps.worst = ms;
            steps.zoomAtWorst = viewer->zoomPercent();
        }
        idleFor(150);
    }
    steps.median = bench::median(times);
    viewer->setZoomPercent(100);
    idleFor(200);
    return steps;
}

void report(const char *document, QWidget *window, int count)
{
    auto *viewer = window->findChild<RichTextView *>(QStringLiteral("RichTextBox1"));
    for (bool middle : {false, true}) {
        const Steps steps = zoomSteps(viewer, count, middle);
        std::printf("zoom platform=%s document=%s position=%s steps=%d median_ms=%.2f worst_ms=%.2f "
                    "zoom_at_worst=%d\n",
                    qPrintable(QGuiApplication::platformName()), document, middle ? "middle" : "top", count,
                    steps.median, steps.worst, steps.zoomAtWorst);
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
        ReviewWindow window;
        window.showMarking(marking);
        showAndWait(&window);
        report("review", &window, count);
    }
    return 0;
}
