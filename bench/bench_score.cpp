// The Score press with every question answered by the key's box, against an
// empty slot called the same ways. Times are the median of many presses. Then
// rounds of Start and Score with the review window open, where each Score
// rewrites the review: the press alone, and until the review's new frame is out.
#include "answerkey.h"
#include "benchsupport.h"
#include "examwindow.h"
#include "reviewwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <vector>

namespace {

class EmptySlot : public QObject
{
    Q_OBJECT

public slots:
    void press() {}
};

double microsecondsSince(qint64 startNs)
{
    return double(bench::monotonicNs() - startNs) / 1e3;
}

void idleFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Notes the first paint of a widget and ends a wait once that frame is out: a zero
// timer queued from within the paint runs after the rest of the frame is flushed.
class PaintWatcher : public QObject
{
public:
    PaintWatcher(QWidget *widget, QEventLoop *loop) : m_widget(widget), m_loop(loop)
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_widget && event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, m_loop, &QEventLoop::quit);
        }
        return false;
    }

private:
    QWidget *m_widget = nullptr;
    QEventLoop *m_loop = nullptr;
    bool m_seen = false;
};

// Microseconds from startNs until the widget's next frame is out (at most 5 s).
double untilPainted(QWidget *widget, qint64 startNs)
{
    QEventLoop loop;
    PaintWatcher watcher(widget, &loop);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    return microsecondsSince(startNs);
}

// Median time of one call of press(), over the given number of calls.
template <typename Press>
double medianUs(int iterations, Press press)
{
    std::vector<double> times;
    times.reserve(size_t(iterations));
    for (int i = 0; i < iterations; ++i) {
        const qint64 start = bench::monotonicNs();
        press();
        times.push_back(microsecondsSince(start));
    }
    return bench::median(times);
}

struct ReviewTimes
{
    double firstDirectUs = 0;
    double firstFrameUs = 0;
    double directUs = 0;
    double frameUs = 0;
};

// Ticks every question's key box, or none.
void setSheet(ExamWindow &window, bool answered)
{
    for (int question = 1; question <= questionCount; ++question)
        window.checkBox(question, answerKey[question - 1].correctBox)->setChecked(answered);
}

// A student's round with the review window open: Start (the notice shows), a changed
// sheet, then Score, timed alone and until the review has painted the new marking. The
// sheet alternates between all right and all blank, so every line of the review changes.
// The first press writes the whole review; later ones rewrite what changed.
ReviewTimes timeWithReviewOpen(ExamWindow &window, int iterations)
{
    window.onReviewTriggered();
    ReviewWindow *review = window.reviewWindow();
    const qint64 deadline = bench::monotonicNs() + qint64(5) * 1000000000;
    while (!(review->windowHandle() && review->windowHandle()->isExposed()) && bench::monotonicNs() < deadline)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QWidget *page = review->findChild<QTextEdit *>(QStringLiteral("RichTextBox1"))->viewport();

    ReviewTimes times;
    std::vector<double> direct;
    std::vector<double> frames;
    for (int i = 0; i <= iterations; ++i) {
        window.onStartClicked();
        setSheet(window, i % 2 == 0);
        idleFor(20);
        const qint64 start = bench::monotonicNs();
        window.onScoreClicked();
        const double pressUs = microsecondsSince(start);
        const double frameUs = untilPainted(page, start);
        if (i == 0) {
            times.firstDirectUs = pressUs;
            times.firstFrameUs = frameUs;
        } else {
            direct.push_back(pressUs);
            frames.push_back(frameUs);
        }
    }
    times.directUs = bench::median(direct);
    times.frameUs = bench::median(frames);
    return times;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int iterations = qMax(1, bench::intArgument(QApplication::arguments(), QStringLiteral("--iterations"), 20000));

    ExamWindow window;
    window.show();
    // Under X the window is painted only once the server has mapped it.
    const qint64 deadline = bench::monotonicNs() + qint64(5) * 1000000000;
    while (!(window.windowHandle() && window.windowHandle()->isExposed()) && bench::monotonicNs() < deadline)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    // Let the booklet finish its lazy layout first, so it does not land in the press's frame.
    idleFor(500);

    for (int question = 1; question <= questionCount; ++question)
        window.checkBox(question, answerKey[question - 1].correctBox)->setChecked(true);
    idleFor(200);

    auto *scoreButton = window.findChild<QPushButton *>(QStringLiteral("cmd得点"));
    auto *scoreLabel = window.findChild<QLabel *>(QStringLiteral("lbl得点"));

    // The first press shows the 36 marks and the score; later ones find them shown.
    qint64 start = bench::monotonicNs();
    window.onScoreClicked();
    const double firstUs = microsecondsSince(start);
    const QString score = scoreLabel ? scoreLabel->text() : QString();

    // Until the score label has been painted and the frame flushed.
    const double firstFrameUs = scoreLabel ? untilPainted(scoreLabel, start) : 0.0;

    EmptySlot empty;
    void (EmptySlot::*volatile emptyPress)() = &EmptySlot::press;
    void (ExamWindow::*volatile scorePress)() = &ExamWindow::onScoreClicked;

    const double directUs = medianUs(iterations, [&] { (window.*scorePress)(); });
    const double emptyDirectUs = medianUs(iterations, [&] { (empty.*emptyPress)(); });

    // Through the button: clicked() and the connection to the handler, as a mouse press ends.
    QPushButton emptyButton;
    QObject::connect(&emptyButton, &QPushButton::clicked, &empty, &EmptySlot::press);
    const double buttonUs = medianUs(iterations, [&] { scoreButton->click(); });
    const double emptyButtonUs = medianUs(iterations, [&] { emptyButton.click(); });

    // A round with the review costs far more than a press: fewer rounds, to keep the run short.
    const ReviewTimes review = timeWithReviewOpen(window, qMax(4, iterations / 200));
    setSheet(window, true);
    window.onScoreClicked();

    std::printf("score platform=%s iterations=%d score=%s first_us=%.2f first_frame_us=%.1f direct_us=%.3f "
                "empty_direct_us=%.3f button_us=%.3f empty_button_us=%.3f ratio_direct=%.0f ratio_button=%.1f "
                "review_first_us=%.0f review_first_frame_us=%.0f review_direct_us=%.0f review_frame_us=%.0f\n",
                qPrintable(QGuiApplication::platformName()), iterations, qPrintable(score), firstUs, firstFrameUs,
                directUs, emptyDirectUs, buttonUs, emptyButtonUs, emptyDirectUs > 0 ? directUs / emptyDirectUs : 0.0,
                emptyButtonUs > 0 ? buttonUs / emptyButtonUs : 0.0, review.firstDirectUs, review.firstFrameUs,
                review.directUs, review.frameUs);
    return score == QLatin1String("100") ? 0 : 1;
}

#include "bench_score.moc"
