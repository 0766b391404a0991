// Start-up as the student gets it: the steps of main() (the start-up checks, the
// application object, its name and icon, the exam window) from process start to
// the first frame, the booklet's first screen painted and on screen, and the peak
// resident memory by then. bench-startup-empty is the floor to compare with.
#include "appicon.h"
#include "benchsupport.h"
#include "examapplication.h"
#include "examwindow.h"
#include "firstframe.h"
#include "richtextview.h"
#include "runtimefolder.h"
#include "startupchecks.h"

#include <QTextDocument>
#include <QTextEdit>

int main(int argc, char *argv[])
{
    const qint64 startNs = bench::processStartNs();

    // The same steps, in the same order, as the program's main().
    if (!startup::prepare(argc, argv))
        return 1;
    ExamApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nihonshib"));
    QApplication::setWindowIcon(applicationIcon());
    const qint64 appNs = bench::monotonicNs();

    ExamWindow window;
    const qint64 windowNs = bench::monotonicNs();

    auto *booklet = window.findChild<RichTextView *>(QStringLiteral("RichTextBox1"));
    const bool wholeLayout = QApplication::arguments().contains(QStringLiteral("--whole-layout"));
    bench::FirstFrame frame(booklet->viewport(), [&](qint64 paintNs) {
        // With --whole-layout the rest of the booklet is laid out before the report,
        // as the scroll bar needs it, to show what that costs beyond the first frame.
        QString extra;
        if (wholeLayout) {
            const qint64 beforeNs = bench::monotonicNs();
            booklet->layOutWholeDocument();
            const qreal height = booklet->document()->size().height();
            extra = QStringLiteral("rest_of_layout_ms=%1 booklet_height=%2")
                        .arg(double(bench::monotonicNs() - beforeNs) / 1e6, 0, 'f', 2)
                        .arg(height);
        }
        // The report ends the process at once: the private runtime folder goes first.
        startup::removeRuntimeFolder();
        bench::reportStartupAndExit("exam", startNs, appNs, windowNs, paintNs, &window, extra);
    });
    window.show();
    return QApplication::exec();
}
