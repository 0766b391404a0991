// The read-only viewer the exam, verdict and help windows show their
// documents in, and the Japanese font names the windows ask for.

#include "documenttesting.h"
#include "fontmap.h"
#include "richtextview.h"

#include <QAbstractEventDispatcher>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QFontInfo>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QtTest>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// Each paragraph says its number, in the mincho font at 12 pt; tabbed, a tab at the
// document's default stops follows the number.
QByteArray numberedParagraphs(int count, bool tabbed = false)
{
    QByteArray rtf = R"({\rtf1\ansi\ansicpg932\deff0{\fonttbl{\f0\fnil\fcharset128 \'82\'6c\'82\'72 \'96\'be\'92\'a9;}})"
                     R"({\colortbl;\red255\green0\blue0;}\pard\plain )";
    for (int i = 1; i <= count; ++i)
        rtf += R"(\'91\'e6 )" + QByteArray::number(i) + (tabbed ? R"(\tab)" : "") + R"( {\cf1\ul \'96\'e2}\par )";
    return rtf + "}";
}

QByteArray longLine()
{
    QByteArray rtf = R"({\rtf1\ansi )";
    for (int i = 0; i < 40; ++i)
        rtf += "word ";
    return rtf + "}";
}

// The laid-out height of the text, without the document's fixed margin.
qreal textHeight(const RichTextView &view)
{
    const QTextDocument &document = *view.document();
    return document.size().height() - 2 * document.documentMargin();
}

void ctrlWheel(RichTextView &view, int angle)
{
    const QPointF at(view.viewport()->rect().center());
    QWheelEvent wheel(at, view.viewport()->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
}

// The timers running in the viewer and its parts, a caret's blink among them; the
// zero-interval timers that only defer work to the next pass of the event loop aside.
int timersOf(const RichTextView &view)
{
    QList<QObject *> parts = view.findChildren<QObject *>();
    parts << const_cast<RichTextView *>(&view);
    int count = 0;
    for (QObject *part : parts) {
        for (const QAbstractEventDispatcher::TimerInfo &timer :
             QAbstractEventDispatcher::instance()->registeredTimers(part))
            count += timer.interval > 0;
    }
    return count;
}

QString fixturePath(const QString &name) { return QStringLiteral(FIXTURES_DIR "/rtf/") + name; }

// The viewer on screen at the given size, showing rtf.
bool showWith(RichTextView &view, const QByteArray &rtf, QSize size = QSize(300, 200))
{
    view.resize(size);
    view.show();
    return QTest::qWaitForWindowExposed(&view) && view.loadRtf(rtf).ok();
}

} // namespace

class TestRichTextView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void keysMoveTheCaret_data();
    void keysMoveTheCaret();
    void showsASteadyCaretWhileFocused();
    void showsAFocusFrameInPlace();
    void copiesWhatTheKeysSelect();
    void copiesWhatTheMouseSelects();
    void zoomsByKeyAndWheel_data();
    void zoomsByKeyAndWheel();
    void zoomStopsAtItsLimitsAndCtrl0Restores();
    void zoomKeepsTheTopLine_data();
    void zoomKeepsTheTopLine();
    void zoomStepsHalfwaySettleAsAZoomAtOnce_data();
    void zoomStepsHalfwaySettleAsAZoomAtOnce();
    void zoomOutAtTheEndLeavesNoScrollPastIt_data();
    void zoomOutAtTheEndLeavesNoScrollPastIt();
    void zoomedTextWrapsAtTheViewersWidth();
    void zoomScalesEveryLengthAndCtrl0RestoresIt_data();
    void zoomScalesEveryLengthAndCtrl0RestoresIt();
    void scrollsToTopAfterLoading_data();
    void scrollsToTopAfterLoading();
    void laysOutWhatWasLoadedBeforeShowing_data();
    void laysOutWhatWasLoadedBeforeShowing();
    void keepsDocumentFonts_data();
    void keepsDocumentFonts();
    void loadsFiles_data();
    void loadsFiles();
    void logsFaultsOfTheRestOnceRead();
    void substitutesJapaneseFontNames_data();
    void substitutesJapaneseFontNames();
};

void TestRichTextView::initTestCase()
{
    fonts::installSubstitutions();
}

void TestRichTextView::keysMoveTheCaret_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("paragraph");   // where the caret ends, from 1; 0: as many as a page moves
    QTest::addColumn<int>("column");      // its place in that paragraph's line, -1: the line's end
    QTest::addColumn<QString>("selected");

    // The caret starts at the beginning of "第 100 問", the 100th of 200 one-line paragraphs.
    const Qt::KeyboardModifiers none;
    const Qt::KeyboardModifiers ctrl(Qt::ControlModifier);
    const Qt::KeyboardModifiers shift(Qt::ShiftModifier);
    QTest::newRow("down") << Qt::Key_Down << none << 101 << 0 << QString();
    QTest::newRow("up") << Qt::Key_Up << none << 99 << 0 << QString();
    QTest::newRow("right") << Qt::Key_Right << none << 100 << 1 << QString();
    QTest::newRow("left") << Qt::Key_Left << none << 99 << -1 << QString();
    QTest::newRow("end") << Qt::Key_End << none << 100 << -1 << QString();
    QTest::newRow("ctrl+end") << Qt::Key_End << ctrl << 200 << -1 << QString();
    QTest::newRow("ctrl+home") << Qt::Key_Home << ctrl << 1 << 0 << QString();
    QTest::newRow("page down") << Qt::Key_PageDown << none << 0 << 0 << QString();
    QTest::newRow("page up") << Qt::Key_PageUp << none << 0 << 0 << QString();
    QTest::newRow("shift+right") << Qt::Key_Right << shift << 100 << 1 << u"第"_s;
    QTest::newRow("shift+end") << Qt::Key_End << shift << 100 << -1 << u"第 100 問"_s;
    QTest::newRow("shift+down") << Qt::Key_Down << shift << 101 << 0 << u"第 100 問\u2029"_s;
}

void TestRichTextView::keysMoveTheCaret()
{
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, paragraph);
    QFETCH(int, column);
    QFETCH(QString, selected);

    RichTextView view;
    QVERIFY(showWith(view, numberedParagraphs(200)));
    view.setFocus();
    QTextCursor start(view.document()->findBlockByNumber(99));
    view.setTextCursor(start);
    view.ensureCursorVisible();
    const int lineHeight = view.cursorRect().height();
    const int topBefore = view.verticalScrollBar()->value();

    QTest::keyClick(&view, key, modifiers);
    const QTextCursor caret = view.textCursor();
    if (paragraph == 0) {
        // A page: the view moves by a page and the caret with it, by nearly as many lines.
        const int direction = key == Qt::Key_PageDown ? 1 : -1;
        const int linesOnAPage = view.viewport()->height() / lineHeight;
        QVERIFY(linesOnAPage > 3);
        QVERIFY2(direction * (caret.blockNumber() - 99) >= linesOnAPage - 2, qPrintable(QString::number(caret.blockNumber())));
        QVERIFY(direction * (view.verticalScrollBar()->value() - topBefore) > 0);
    } else {
        QCOMPARE(caret.blockNumber() + 1, paragraph);
        QCOMPARE(caret.positionInBlock(), column < 0 ? caret.block().length() - 1 : column);
    }
    QCOMPARE(caret.selectedText(), selected);
    QVERIFY(view.viewport()->rect().contains(view.cursorRect()));
}

// The caret as a dark bar where the insertion point is, on the white page.
static int darkPixelsAtCaret(RichTextView &view)
{
    const QRect caret = view.cursorRect();
    const QImage shown = view.viewport()->grab().toImage();
    int dark = 0;
    for (int x = caret.left(); x <= caret.left() + 1; ++x) {
        for (int y = caret.top(); y <= caret.bottom(); ++y)
            dark += shown.pixelColor(x, y).lightness() < 100;
    }
    return dark;
}

void TestRichTextView::showsASteadyCaretWhileFocused()
{
    QWidget window;
    auto *view = new RichTextView(&window);
    auto *other = new QPushButton(u"other"_s, &window);
    view->setGeometry(0, 0, 300, 200);
    other->setGeometry(0, 210, 100, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(view->loadRtf(numberedParagraphs(200)).ok());
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    view->setFocus();
    QVERIFY(view->hasFocus());

    // A student clicks into the first line, past its text, and reads on with the keys.
    const int firstLine = view->cursorRect(QTextCursor(view->document())).center().y();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(view->viewport()->width() - 20, firstLine));
    QVERIFY2(view->cursorRect().left() > 40, "the click put the insertion point after the line's text");
    QVERIFY(darkPixelsAtCaret(*view) >= view->cursorRect().height());

    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_PageDown);
    QVERIFY(darkPixelsAtCaret(*view) >= view->cursorRect().height());
    // Nothing blinks: no timer runs in the viewer while it has the focus.
    QCOMPARE(timersOf(*view), 0);

    other->setFocus();
    QVERIFY(!view->hasFocus());
    QCOMPARE(darkPixelsAtCaret(*view), 0);
}

void TestRichTextView::showsAFocusFrameInPlace()
{
    // The window around the viewer in the button face, as the tab pages have it.
    QWidget window;
    window.setAutoFillBackground(true);
    auto *view = new RichTextView(&window);
    auto *other = new QPushButton(u"other"_s, &window);
    view->setGeometry(10, 10, 300, 200);
    other->setGeometry(10, 220, 100, 30);
    window.resize(320, 260);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(view->loadRtf(numberedParagraphs(3)).ok());
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    other->setFocus();
    const QRect viewportBefore = view->viewport()->geometry();
    const QImage unfocused = window.grab(QRect(view->geometry())).toImage();
    view->setFocus();
    QCOMPARE(view->viewport()->geometry(), viewportBefore);
    const QImage focused = window.grab(QRect(view->geometry())).toImage();
    QCOMPARE(focused.size(), unfocused.size());

    // Every pixel of a frame two pixels wide changes, to a colour that stands out
    // 3:1 from what was there and from the window around the viewer.
    const auto luminance = [](QColor c) {
        const auto channel = [](qreal v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const auto contrast = [&luminance](QColor a, QColor b) {
        const qreal la = luminance(a), lb = luminance(b);
        return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
    };
    const QColor around = window.palette().color(QPalette::Window);
    for (int ring = 0; ring < 2; ++ring) {
        const QRect edge = focused.rect().adjusted(ring, ring, -ring, -ring);
        const QList<QPoint> points{edge.topLeft(), edge.topRight(), edge.bottomLeft(), edge.bottomRight(),
                                   QPoint(edge.center().x(), edge.top()), QPoint(edge.left(), edge.center().y())};
        for (const QPoint &point : points) {
            const QColor now = focused.pixelColor(point);
            QVERIFY2(contrast(now, unfocused.pixelColor(point)) >= 3.0, qPrintable(QStringLiteral("%1, %2").arg(point.x()).arg(point.y())));
            QVERIFY2(contrast(now, around) >= 3.0, qPrintable(QStringLiteral("%1, %2").arg(point.x()).arg(point.y())));
        }
    }
}

void TestRichTextView::copiesWhatTheKeysSelect()
{
    RichTextView view;
    QVERIFY(showWith(view, numberedParagraphs(3), QSize(400, 300)));
    view.setFocus();
    QGuiApplication::clipboard()->clear();

    QTest::keyClick(&view, Qt::Key_Down);
    QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"第 2 問"_s);
}

void TestRichTextView::copiesWhatTheMouseSelects()
{
    RichTextView view;
    QVERIFY(showWith(view, numberedParagraphs(3), QSize(400, 300)));
    QGuiApplication::clipboard()->clear();

    const QRect firstLine = view.cursorRect(QTextCursor(view.document()));
    const QPoint from = firstLine.center() + QPoint(1, 0);
    const QPoint to = from + QPoint(60, 0);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, view.viewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, to);
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);

    const QString copied = QGuiApplication::clipboard()->text();
    QVERIFY2(copied.startsWith(u"第 1"_s), qPrintable(copied));
    QCOMPARE(copied, view.textCursor().selectedText());
}

void TestRichTextView::zoomsByKeyAndWheel_data()
{
    QTest::addColumn<Qt::Key>("key");   // Qt::Key_unknown: the wheel instead
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("wheelAngle");
    QTest::addColumn<int>("direction");

    const Qt::KeyboardModifiers ctrl(Qt::ControlModifier);
    QTest::newRow("ctrl++") << Qt::Key_Plus << (ctrl | Qt::ShiftModifier) << 0 << 1;
    QTest::newRow("ctrl+=") << Qt::Key_Equal << ctrl << 0 << 1;
    QTest::newRow("ctrl+keypad +") << Qt::Key_Plus << (ctrl | Qt::KeypadModifier) << 0 << 1;
    QTest::newRow("ctrl+-") << Qt::Key_Minus << ctrl << 0 << -1;
    QTest::newRow("ctrl+wheel forward") << Qt::Key_unknown << ctrl << 120 << 1;
    QTest::newRow("ctrl+wheel back") << Qt::Key_unknown << ctrl << -120 << -1;
    QTest::newRow("ctrl+half a notch") << Qt::Key_unknown << ctrl << 60 << 0;
}

void TestRichTextView::zoomsByKeyAndWheel()
{
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, wheelAngle);
    QFETCH(int, direction);

    RichTextView view;
    QVERIFY(showWith(view, numberedParagraphs(40), QSize(400, 300)));
    const QRect geometry = view.geometry();
    const qreal own = textHeight(view);

    if (key == Qt::Key_unknown)
        ctrlWheel(view, wheelAngle);
    else
        QTest::keyClick(&view, key, modifiers);

    const qreal ratio = textHeight(view) / own;
    QVERIFY2(direction > 0 ? ratio > 1.05 : direction < 0 ? ratio < 0.95 : ratio == 1.0,
             qPrintable(QString::number(ratio)));
    // The text grows with the zoom; the box stays where it is.
    QVERIFY2(qAbs(ratio - view.zoomPercent() / 100.0) < 0.05,
             qPrintable(QStringLiteral("%1 at %2 %").arg(ratio).arg(view.zoomPercent())));
    QCOMPARE(view.geometry(), geometry);
}

void TestRichTextView::zoomStopsAtItsLimitsAndCtrl0Restores()
{
    RichTextView view;
    QVERIFY(showWith(view, numberedParagraphs(40), QSize(400, 300)));
    const qreal own = textHeight(view);

    for (int i = 0; i < 20; ++i)
        QTest::keyClick(&view, Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(view.zoomPercent(), 300);
    QVERIFY2(qAbs(textHeight(view) / own - 3.0) < 0.15, qPrintable(QString::number(textHeight(view) / own)));

    for (int i = 0; i < 30; ++i)
        ctrlWheel(view, -120);
    QCOMPARE(view.zoomPercent(), 50);
    QVERIFY2(qAbs(textHeight(view) / own - 0.5) < 0.05, qPrintable(QString::number(textHeight(view) / own)));

    QTest::keyClick(&view, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(textHeight(view), own);
    for (const QTextFragment &fragment : fragmentsOf(*view.document()))
        QCOMPARE(fragment.charFormat().fontPointSize(), 12.0);
}

void TestRichTextView::zoomKeepsTheTopLine_data()
{
    QTest::addColumn<int>("scrolledPercent");
    QTest::newRow("scrolled halfway") << 50;
    // Enlarged, the line lies beyond the end of the text before it was enlarged.
    QTest::newRow("scrolled near the end") << 95;
}

void TestRichTextView::zoomKeepsTheTopLine()
{
    QFETCH(int, scrolledPercent);
    RichTextView view;
    QVERIFY(showWith(view, numberedParagraphs(1000)));
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() * scrolledPercent / 100);
    const QString topLine = view.cursorForPosition(QPoint(0, 1)).block().text();

    QTest::keyClick(&view, Qt::Key_Equal, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(view.cursorForPosition(QPoint(0, 1)).block().text(), topLine);
    QTest::keyClick(&view, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(view.cursorForPosition(QPoint(0, 1)).block().text(), topLine);
}

// Halfway down a long document a step shows the view at the new zoom at once and
// scales the rest while idle; settled, the reader sees what the zoom applied to the
// whole document at once shows.
void TestRichTextView::zoomStepsHalfwaySettleAsAZoomAtOnce_data()
{
    QTest::addColumn<bool>("tabbed");
    QTest::addColumn<QString>("steps");   // Ctrl+= (+) and Ctrl+- (-) pressed in quick succession
    QTest::addColumn<Qt::Key>("then");    // Qt::Key_unknown: the program idles
    QTest::newRow("a step up") << false << u"+"_s << Qt::Key_unknown;
    QTest::newRow("a step down") << false << u"-"_s << Qt::Key_unknown;
    QTest::newRow("steps in quick succession") << false << u"++++"_s << Qt::Key_unknown;
    QTest::newRow("text with tabs") << true << u"--"_s << Qt::Key_unknown;
    QTest::newRow("back to its own sizes") << true << u"+-"_s << Qt::Key_unknown;
    // The caret, on the line at the top, moves without scrolling the view.
    QTest::newRow("an arrow key at once") << false << u"++"_s << Qt::Key_Down;
}

void TestRichTextView::zoomStepsHalfwaySettleAsAZoomAtOnce()
{
    QFETCH(bool, tabbed);
    QFETCH(QString, steps);
    QFETCH(Qt::Key, then);
    const QByteArray rtf = numberedParagraphs(600, tabbed);
    RichTextView stepped;
    RichTextView atOnce;
    for (RichTextView *view : {&stepped, &atOnce}) {
        view->setFocusPolicy(Qt::NoFocus);   // neither draws a caret
        QVERIFY(showWith(*view, rtf, QSize(400, 300)));
        view->document()->size();   // laid out to the end, as once the program has been idle
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 2);
        view->setTextCursor(view->cursorForPosition(QPoint(0, 1)));
    }

    // The other viewer takes the same steps, each applied to the whole document at once.
    for (QChar step : steps) {
        QTest::keyClick(&stepped, step == u'+' ? Qt::Key_Equal : Qt::Key_Minus, Qt::ControlModifier);
        atOnce.setZoomPercent(stepped.zoomPercent());
    }
    QVERIFY(stepped.isZooming());
    if (then == Qt::Key_unknown) {
        for (int pass = 0; pass < 1000 && stepped.isZooming(); ++pass)
            QCoreApplication::processEvents();
    } else {
        QTest::keyClick(&stepped, then);
        QTest::keyClick(&atOnce, then);
    }
    QVERIFY(!stepped.isZooming());
    QCOMPARE(stepped.document()->size(), atOnce.document()->size());
    QCoreApplication::processEvents();   // the scroll bars' ranges follow the layouts' last size
    QCOMPARE(stepped.verticalScrollBar()->maximum(), atOnce.verticalScrollBar()->maximum());
    QCOMPARE(stepped.verticalScrollBar()->value(), atOnce.verticalScrollBar()->value());
    QCOMPARE(stepped.viewport()->grab().toImage(), atOnce.viewport()->grab().toImage());
}

void TestRichTextView::zoomOutAtTheEndLeavesNoScrollPastIt_data()
{
    QTest::addColumn<int>("paragraphs");
    QTest::addColumn<int>("percent");
    QTest::newRow("short, 50 %") << 60 << 50;
    QTest::newRow("short, 75 %") << 60 << 75;
    QTest::newRow("long, 50 %") << 600 << 50;
}

// Zoomed out with the view at the end of a document, the scroll bar ends where the
// text does once laid out: at the range of a viewer given that zoom at the top.
void TestRichTextView::zoomOutAtTheEndLeavesNoScrollPastIt()
{
    QFETCH(int, paragraphs);
    QFETCH(int, percent);
    const QByteArray rtf = numberedParagraphs(paragraphs);
    RichTextView atEnd;
    RichTextView atTop;
    for (RichTextView *view : {&atEnd, &atTop}) {
        QVERIFY(showWith(*view, rtf, QSize(400, 300)));
        view->document()->size();   // laid out to the end
    }
    atEnd.verticalScrollBar()->setValue(atEnd.verticalScrollBar()->maximum());
    atEnd.setZoomPercent(percent);
    atTop.setZoomPercent(percent);
    for (RichTextView *view : {&atEnd, &atTop}) {
        view->document()->size();
        for (int pass = 0; pass < 100; ++pass)
            QCoreApplication::processEvents();
    }
    QCOMPARE(atEnd.document()->size(), atTop.document()->size());
    QCOMPARE(atEnd.verticalScrollBar()->maximum(), atTop.verticalScrollBar()->maximum());
}

void TestRichTextView::zoomedTextWrapsAtTheViewersWidth()
{
    RichTextView view;
    QVERIFY(showWith(view, longLine()));
    const int ownLines = view.document()->lastBlock().layout()->lineCount();

    ctrlWheel(view, 5 * 120);
    QCOMPARE(view.zoomPercent(), 200);
    QVERIFY(view.document()->size().width() <= view.viewport()->width());
    const int zoomedLines = view.document()->lastBlock().layout()->lineCount();
    QVERIFY2(zoomedLines >= 2 * ownLines - 1, qPrintable(QStringLiteral("%1, %2").arg(ownLines).arg(zoomedLines)));

    // The next document comes at the zoom the reader chose.
    QVERIFY(view.loadRtf(longLine()).ok());
    QCOMPARE(view.document()->lastBlock().layout()->lineCount(), zoomedLines);
}

void TestRichTextView::zoomScalesEveryLengthAndCtrl0RestoresIt_data()
{
    QTest::addColumn<QByteArray>("rtf");

    QTest::newRow("runs of several sizes")
        << QByteArray(R"({\rtf1\ansi \fs20 small {\fs32\b large} small\par \fs28 next\par})");
    QTest::newRow("indents and margins")
        << QByteArray(R"({\rtf1\ansi \li720\fi-360 hanging\par\pard \ri400\sb240\sa120 spaced\par\pard plain\par})");
    QTest::newRow("tab stops") << QByteArray(R"({\rtf1\ansi \tx1440\tx2880 a\tab b\tab c\par\pard d\tab e\par})");
}

// Every character size, margin, indent and tab stop doubles at 200 %, and Ctrl+0 puts
// back each format exactly as it was read.
void TestRichTextView::zoomScalesEveryLengthAndCtrl0RestoresIt()
{
    QFETCH(QByteArray, rtf);
    RichTextView view;
    QVERIFY(showWith(view, rtf, QSize(400, 300)));
    QList<QTextCharFormat> ownRuns;
    for (const QTextFragment &fragment : fragmentsOf(*view.document()))
        ownRuns << fragment.charFormat();
    QList<QTextBlockFormat> ownParagraphs;
    for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next())
        ownParagraphs << block.blockFormat();

    ctrlWheel(view, 5 * 120);
    QCOMPARE(view.zoomPercent(), 200);
    const QList<QTextFragment> zoomed = fragmentsOf(*view.document());
    QCOMPARE(zoomed.size(), ownRuns.size());
    for (qsizetype i = 0; i < zoomed.size(); ++i)
        QCOMPARE(zoomed[i].charFormat().fontPointSize(), 2 * ownRuns[i].fontPointSize());
    QTextBlock block = view.document()->begin();
    for (const QTextBlockFormat &own : std::as_const(ownParagraphs)) {
        const QTextBlockFormat format = block.blockFormat();
        QCOMPARE(format.leftMargin(), 2 * own.leftMargin());
        QCOMPARE(format.rightMargin(), 2 * own.rightMargin());
        QCOMPARE(format.textIndent(), 2 * own.textIndent());
        QCOMPARE(format.topMargin(), 2 * own.topMargin());
        QCOMPARE(format.bottomMargin(), 2 * own.bottomMargin());
        QCOMPARE(format.tabPositions().size(), own.tabPositions().size());
        for (qsizetype i = 0; i < own.tabPositions().size(); ++i)
            QCOMPARE(format.tabPositions()[i].position, 2 * own.tabPositions()[i].position);
        block = block.next();
    }

    QTest::keyClick(&view, Qt::Key_0, Qt::ControlModifier);
    QList<QTextCharFormat> restoredRuns;
    for (const QTextFragment &fragment : fragmentsOf(*view.document()))
        restoredRuns << fragment.charFormat();
    QCOMPARE(restoredRuns, ownRuns);
    QList<QTextBlockFormat> restoredParagraphs;
    for (QTextBlock restored = view.document()->begin(); restored.isValid(); restored = restored.next())
        restoredParagraphs << restored.blockFormat();
    QCOMPARE(restoredParagraphs, ownParagraphs);
}

// A document loaded before its viewer is shown ends up laid out whole, as one
// loaded into a viewer already on screen: once the program is idle, or at once
// when a key reaches the viewer before its first frame.
void TestRichTextView::laysOutWhatWasLoadedBeforeShowing_data()
{
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<bool>("firstScreenFirst");   // the rest read after the first frame
    QTest::addColumn<int>("height");
    for (const bool firstScreenFirst : {false, true}) {
        const char *pace = firstScreenFirst ? ", read first screen first" : "";
        QTest::addRow("idle%s", pace) << QKeySequence() << firstScreenFirst << 200;
        QTest::addRow("Ctrl+End at once%s", pace) << QKeySequence(Qt::CTRL | Qt::Key_End) << firstScreenFirst << 200;
        QTest::addRow("Page Down at once%s", pace) << QKeySequence(Qt::Key_PageDown) << firstScreenFirst << 200;
    }
    // Taller than the first part read: more is read before the first frame.
    QTest::newRow("tall, read first screen first") << QKeySequence() << true << 1400;
}

void TestRichTextView::laysOutWhatWasLoadedBeforeShowing()
{
    QFETCH(QKeySequence, key);
    QFETCH(bool, firstScreenFirst);
    QFETCH(int, height);
    const QByteArray rtf = numberedParagraphs(300);
    RichTextView shownFirst;
    QVERIFY(showWith(shownFirst, rtf, QSize(300, height)));
    RichTextView loadedFirst;
    loadedFirst.resize(shownFirst.size());
    QVERIFY(loadedFirst.loadRtf(rtf, firstScreenFirst ? RichTextView::Pace::FirstScreenFirst : RichTextView::Pace::Whole).ok());
    loadedFirst.show();
    if (key.isEmpty() && firstScreenFirst) {
        // The first frame shows the text the view holds, the whole of its first screen.
        QVERIFY(QTest::qWaitForWindowExposed(&loadedFirst));
        QCOMPARE(loadedFirst.cursorForPosition(QPoint(0, loadedFirst.viewport()->height() - 1)).block().text(),
                 shownFirst.cursorForPosition(QPoint(0, shownFirst.viewport()->height() - 1)).block().text());
    }
    if (!key.isEmpty()) {
        QTest::keySequence(&loadedFirst, key);
        QTest::keySequence(&shownFirst, key);
        QCOMPARE(loadedFirst.textCursor().position(), shownFirst.textCursor().position());
        QCOMPARE(loadedFirst.verticalScrollBar()->value(), shownFirst.verticalScrollBar()->value());
    }
    QVERIFY(QTest::qWaitForWindowExposed(&loadedFirst));
    const QAbstractTextDocumentLayout *layout = loadedFirst.document()->documentLayout();
    const QSizeF whole = shownFirst.document()->documentLayout()->documentSize();
    QTRY_COMPARE(layout->documentSize(), whole);
    QTRY_COMPARE(loadedFirst.verticalScrollBar()->maximum(), shownFirst.verticalScrollBar()->maximum());
    QVERIFY(!layout->blockBoundingRect(loadedFirst.document()->lastBlock()).isEmpty());
    QCOMPARE(rtf::plainText(loadedFirst.document()), rtf::plainText(shownFirst.document()));
}

void TestRichTextView::scrollsToTopAfterLoading_data()
{
    QTest::addColumn<bool>("byKeyboard");

    QTest::newRow("scrolled by the scroll bar") << false;
    QTest::newRow("scrolled by Ctrl+End") << true;
}

void TestRichTextView::scrollsToTopAfterLoading()
{
    QFETCH(bool, byKeyboard);

    RichTextView view;
    QVERIFY(showWith(view, numberedParagraphs(200)));
    QCOMPARE(view.verticalScrollBar()->value(), 0);

    if (byKeyboard)
        QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    else
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    QVERIFY(view.verticalScrollBar()->value() > 0);

    QVERIFY(view.loadRtf(numberedParagraphs(150)).ok());
    QCOMPARE(view.verticalScrollBar()->value(), 0);
    QCOMPARE(view.textCursor().position(), 0);
}

void TestRichTextView::keepsDocumentFonts_data()
{
    QTest::addColumn<QFont>("widgetFont");

    QTest::newRow("large sans") << QFont(u"DejaVu Sans"_s, 30);
    QTest::newRow("small gothic") << QFont(u"ＭＳ ゴシック"_s, 6);
}

void TestRichTextView::keepsDocumentFonts()
{
    QFETCH(QFont, widgetFont);

    // Set before the document comes and again after.
    RichTextView view;
    view.setFont(widgetFont);
    QVERIFY(showWith(view, numberedParagraphs(2)));
    view.setFont(widgetFont);

    // What the layout draws with: the character's format over the
    // document's default font, which the widget's font sets.
    for (const QTextFragment &fragment : fragmentsOf(*view.document())) {
        const QFont drawn = fragment.charFormat().font().resolve(view.document()->defaultFont());
        QCOMPARE(drawn.family(), u"IPAMincho"_s);
        QCOMPARE(drawn.pointSizeF(), 12.0);
    }
}

void TestRichTextView::loadsFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("isRtf");
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("firstLine");

    QTest::newRow("document") << fixturePath(u"converted/libreoffice-japanese.rtf"_s) << true << -1
                              << u"日本史Bの問題：表・ソ・能・十・予の字を正しく読む。"_s;
    QTest::newRow("text file") << fixturePath(u"converted/libreoffice-japanese.txt"_s) << false
                               << int(rtf::Fault::NotRtf) << QString();
    QTest::newRow("missing file") << fixturePath(u"converted/no-such-document.rtf"_s) << false
                                  << int(rtf::Fault::Unreadable) << QString();
}

void TestRichTextView::loadsFiles()
{
    QFETCH(QString, path);
    QFETCH(bool, isRtf);
    QFETCH(int, fault);
    QFETCH(QString, firstLine);

    // A document that does not read cleanly is logged under its path, once however often it is loaded.
    const QRegularExpression mentionsPath(QRegularExpression::escape(path));
    if (fault >= 0)
        QTest::ignoreMessage(QtWarningMsg, mentionsPath);
    QTest::failOnWarning(mentionsPath);
    RichTextView view;
    const rtf::ReadResult result = view.loadRtfFile(path);
    view.loadRtfFile(path);
    QCOMPARE(result.isRtf, isRtf);
    QCOMPARE(result.faults.isEmpty(), fault < 0);
    if (fault >= 0) {
        QCOMPARE(int(result.faults.first()), fault);
        QVERIFY(!result.message.isEmpty());
    }
    QCOMPARE(view.document()->firstBlock().text(), firstLine);
}

// Read first screen first, a fault beyond the first part is logged once it is read.
void TestRichTextView::logsFaultsOfTheRestOnceRead()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"cut.rtf"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(numberedParagraphs(300).chopped(1));
    file.close();
    const QRegularExpression mentionsPath(QRegularExpression::escape(path));
    QTest::failOnWarning(mentionsPath);
    RichTextView view;
    QVERIFY(view.loadRtfFile(path, RichTextView::Pace::FirstScreenFirst).ok());
    QTest::ignoreMessage(QtWarningMsg, mentionsPath);
    view.readWholeDocument();
    QVERIFY(rtf::plainText(view.document()).contains(u"第 300 問"_s));
}

void TestRichTextView::substitutesJapaneseFontNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("family");

    QTest::newRow("full-width MS gothic") << u"ＭＳ ゴシック"_s << u"IPAGothic"_s;
    QTest::newRow("MS Gothic") << u"MS Gothic"_s << u"IPAGothic"_s;
    QTest::newRow("full-width MS P gothic") << u"ＭＳ Ｐゴシック"_s << u"IPAGothic"_s;
    QTest::newRow("Heisei mincho") << u"平成明朝"_s << u"IPAMincho"_s;
    QTest::newRow("full-width MS mincho") << u"ＭＳ 明朝"_s << u"IPAMincho"_s;
}

void TestRichTextView::substitutesJapaneseFontNames()
{
    QFETCH(QString, name);
    QFETCH(QString, family);

    QCOMPARE(QFontInfo(QFont(name, 9)).family(), family);
}

QTEST_MAIN(TestRichTextView)
#include "tst_richtextview.moc"
