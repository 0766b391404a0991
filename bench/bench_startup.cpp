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

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>

namespace {

// For bench-startup-screen: the booklet area of the first frame (booklet.png; the
// whole window in window.png, to compare two builds), and the
// paragraphs it shows, in their own faces and sizes (first-screen.html, after a line
// with the document's default tab stop), so the floor draws the same first screen.
void grabBooklet(RichTextView *booklet, const QString &folder)
{
    QDir().mkpath(folder);
    booklet->viewport()->grab().save(folder + QStringLiteral("/booklet.png"));
    booklet->window()->grab().save(folder + QStringLiteral("/window.png"));
    QTextDocument *document = booklet->document();
    QTextBlock last = document->begin();
    for (QTextBlock block = last; block.isValid(); block = block.next()) {
        if (!block.isVisible() || document->documentLayout()->blockBoundingRect(block).top() >= booklet->viewport()->height())
            break;
        last = block;
    }
    QTextCursor shown(document);
    shown.setPosition(last.position() + last.length() - 1, QTextCursor::KeepAnchor);
    QFile file(folder + QStringLiteral("/first-screen.html"));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QByteArray::number(document->defaultTextOption().tabStopDistance()) + '\n');
        file.write(shown.selection().toHtml().toUtf8());
    }
}

} // namespace

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
        if (const qsizetype at = QApplication::arguments().indexOf(QStringLiteral("--grab-booklet")); at > 0)
            grabBooklet(booklet, QApplication::arguments().value(at + 1, QStringLiteral(".")));
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
