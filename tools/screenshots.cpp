// Saves pictures of the program's windows as a student sees them, for the README
// and the package's description: the exam window after a scored run (also with
// the booklet zoomed to 150 %), the 解答・解説 review of that run, the review
// of a timed run (its summary and charts, also at 150 %, and a wrong answer's entry), the six
// verdict windows and the help window.
//
//   screenshots OUTPUT_FOLDER
//
// Runs offscreen unless QT_QPA_PLATFORM says otherwise; tools/screenshots.sh
// builds it and runs it.

#include "clock.h"
#include "examwindow.h"
#include "helpwindow.h"
#include "reviewwindow.h"
#include "richtextview.h"
#include "tabcontrol.h"
#include "verdictwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>

#include <cstdio>

namespace {

bool save(QWidget *window, const QDir &folder, const QString &name)
{
    window->show();
    QApplication::processEvents();
    // And what the first frame queued: a viewer lays out the rest of its document
    // once its first screen is out.
    QApplication::sendPostedEvents();
    const QString path = folder.filePath(name);
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// Two answers ticked, one of them right, and Score pressed.
bool saveExamWindow(const QDir &folder)
{
    ExamWindow window;
    window.checkBox(1, 4)->click();
    window.checkBox(2, 1)->click();
    window.findChild<QPushButton *>(QStringLiteral("cmd得点"))->click();
    window.findChild<TabControl *>(QStringLiteral("SSTab2"))->setCurrentIndex(0);
    if (!save(&window, folder, QStringLiteral("exam-window.png")))
        return false;
    window.findChild<RichTextView *>(QStringLiteral("RichTextBox1"))->setZoomPercent(150);
    if (!save(&window, folder, QStringLiteral("exam-window-zoomed.png")))
        return false;
    window.onReviewTriggered();
    return save(window.reviewWindow(), folder, QStringLiteral("review-window.png"));
}

// A clock that the timed run below moves by hand.
class RunClock : public Clock
{
public:
    QTime timeOfDay() const override { return QTime(10, 0).addMSecs(int(m_ms)); }
    qint64 monotonicMs() const override { return m_ms; }
    void setMinute(int minute) { m_ms = qint64(minute) * 60000; }

private:
    qint64 m_ms = 0;
};

// A run of 18 points with the figure tab shown, so the minutes go to the section of
// the answer page: (minute, question, boxes ticked), Score after the time is up.
bool saveReviewOfATimedRun(const QDir &folder)
{
    struct Step
    {
        int minute;
        int question;
        QList<int> boxes;
    };
    const QList<Step> steps{{4, 1, {4}},   {8, 2, {1}},   {11, 3, {4}},  {13, 4, {1, 2}}, {14, 5, {1}},
                            {17, 7, {3}},  {20, 8, {5}},  {24, 9, {2}},  {30, 13, {1}},   {36, 14, {3}},
                            {45, 19, {4}}, {58, 25, {2}}};
    RunClock clock;
    ExamWindow window(&clock);
    auto *sheet = window.findChild<TabControl *>(QStringLiteral("SSTab2"));
    window.findChild<QPushButton *>(QStringLiteral("cmdスタート"))->click();
    window.findChild<TabControl *>(QStringLiteral("SSTab1"))->setCurrentIndex(1);
    for (const Step &step : steps) {
        clock.setMinute(step.minute);
        sheet->setCurrentIndex(step.question - 1);
        for (int box : step.boxes)
            window.checkBox(step.question, box)->click();
    }
    clock.setMinute(61);
    window.onTimerTick();
    window.findChild<QPushButton *>(QStringLiteral("cmd得点"))->click();
    window.onReviewTriggered();
    ReviewWindow *review = window.reviewWindow();
    review->resize(792, 880);
    if (!save(review, folder, QStringLiteral("review-summary.png")))
        return false;
    auto *viewer = review->findChild<RichTextView *>(QStringLiteral("RichTextBox1"));
    viewer->setZoomPercent(150);
    if (!save(review, folder, QStringLiteral("review-summary-zoomed.png")))
        return false;
    viewer->setZoomPercent(100);
    const QTextBlock entry = viewer->document()->find(QStringLiteral("1B-問4\t")).block();
    review->resize(792, 640);
    QApplication::processEvents();
    viewer->verticalScrollBar()->setValue(int(viewer->document()->documentLayout()->blockBoundingRect(entry).top()));
    return save(review, folder, QStringLiteral("review-entry.png"));
}

bool saveSecondaryWindows(const QDir &folder)
{
    for (int band = 1; band <= 6; ++band) {
        VerdictWindow window(band);
        if (!save(&window, folder, QStringLiteral("verdict-%1.png").arg(band)))
            return false;
    }
    HelpWindow help;
    return save(&help, folder, QStringLiteral("help-window.png"));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    QDir folder(arguments.at(1));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "screenshots: cannot make %s\n", qPrintable(folder.path()));
        return 1;
    }
    return saveExamWindow(folder) && saveReviewOfATimedRun(folder) && saveSecondaryWindows(folder) ? 0 : 1;
}
