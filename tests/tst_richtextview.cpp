// The read-only viewer the exam, verdict and help windows show their
// documents in, and the Japanese font names the windows ask for.

#include "documenttesting.h"
#include "fontmap.h"
#include "richtextview.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Each paragraph says its number, in the mincho font at 12 pt.
QByteArray numberedParagraphs(int count)
{
    QByteArray rtf = R"({\rtf1\ansi\ansicpg932\deff0{\fonttbl{\f0\fnil\fcharset128 \'82\'6c\'82\'72 \'96\'be\'92\'a9;}})"
                     R"({\colortbl;\red255\green0\blue0;}\pard\plain )";
    for (int i = 1; i <= count; ++i)
        rtf += R"(\'91\'e6 )" + QByteArray::number(i) + R"( {\cf1\ul \'96\'e2}\par )";
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
    void keysScrollTheView_data();
    void keysScrollTheView();
    void showsNoCaret();
    void copiesWhatTheMouseSelects();
    void zoomsByKeyAndWheel_data();
    void zoomsByKeyAndWheel();
    void zoomStopsAtItsLimitsAndCtrl0Restores();
    void zoomKeepsTheTopLine_data();
    void zoomKeepsTheTopLine();
    void zoomedTextWrapsAtTheViewersWidth();
    void scrollsToTopAfterLoading_data();
    void scrollsToTopAfterLoading();
    void keepsDocumentFonts_data();
    void keepsDocumentFonts();
    void loadsFiles_data();
    void loadsFiles();
    void substitutesJapaneseFontNames_data();
    void substitutesJapaneseFontNames();
};

void TestRichTextView::initTestCase()
{
    fonts::installSubstitutions();
}

void TestRichTextView::keysScrollTheView_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("pages");   // 99: to the end, -99: to the top

    const Qt::KeyboardModifiers none;
    QTest::newRow("down") << Qt::Key_Down << none << 1 << 0;
    QTest::newRow("up") << Qt::Key_Up << none << -1 << 0;
    QTest::newRow("page down") << Qt::Key_PageDown << none << 0 << 1;
    QTest::newRow("page up") << Qt::Key_PageUp << none << 0 << -1;
    QTest::newRow("end") << Qt::Key_End << none << 0 << 99;
    QTest::newRow("home") << Qt::Key_Home << none << 0 << -99;
    QTest::newRow("ctrl+end") << Qt::Key_End << Qt::KeyboardModifiers(Qt::ControlModifier) << 0 << 99;
    QTest::newRow("ctrl+home") << Qt::Key_Home << Qt::KeyboardModifiers(Qt::ControlModifier) << 0 << -99;
}

void TestRichTextView::keysScrollTheView()
{
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, lines);
    QFETCH(int, pages);

    RichTextView view;
    QVERIFY(showWith(view, numberedParagraphs(200)));
    QScrollBar *bar = view.verticalScrollBar();
    QVERIFY(bar->maximum() > 4 * bar->pageStep());
    const int start = bar->maximum() / 2;
    bar->setValue(start);

    QTest::keyClick(&view, key, modifiers);
    QCOMPARE(bar->value(), qBound(0, start + lines * bar->singleStep() + pages * bar->pageStep(), bar->maximum()));
}

void TestRichTextView::showsNoCaret()
{
    RichTextView view;
    QVERIFY(showWith(view, numberedParagraphs(200)));
    view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&view));
    view.setFocus();
    QVERIFY(view.hasFocus());

    // A student clicks into the first line, past its text, and reads on with the keys.
    const int firstLine = view.cursorRect(QTextCursor(view.document())).center().y();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(view.viewport()->width() - 20, firstLine));
    const QRect caret = view.cursorRect();
    QVERIFY2(caret.left() > 40, "the click put the insertion point after the line's text");
    // A caret would be a dark line there, just right of the last glyph.
    const QImage shown = view.viewport()->grab().toImage();
    for (int x = caret.left(); x <= caret.left() + 1; ++x) {
        for (int y = caret.top(); y <= caret.bottom(); ++y)
            QVERIFY2(shown.pixelColor(x, y).lightness() > 200, qPrintable(QStringLiteral("%1, %2").arg(x).arg(y)));
    }

    QTest::keyClick(&view, Qt::Key_Down);
    QTest::keyClick(&view, Qt::Key_PageDown);
    QCOMPARE(timersOf(view), 0);
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

    RichTextView view;
    const rtf::ReadResult result = view.loadRtfFile(path);
    QCOMPARE(result.isRtf, isRtf);
    QCOMPARE(result.faults.isEmpty(), fault < 0);
    if (fault >= 0) {
        QCOMPARE(int(result.faults.first()), fault);
        QVERIFY(!result.message.isEmpty());
    }
    QCOMPARE(view.document()->firstBlock().text(), firstLine);
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
