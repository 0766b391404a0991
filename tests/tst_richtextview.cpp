// The read-only viewer the exam, verdict and help windows show their
// documents in, and the Japanese font names the windows ask for.

#include "documenttesting.h"
#include "fontmap.h"
#include "richtextview.h"

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
    void ignoresEditingKeys_data();
    void ignoresEditingKeys();
    void selectsWithKeyboardAndMouse();
    void scrollsVerticallyOnly_data();
    void scrollsVerticallyOnly();
    void scrollsToTopAfterLoading_data();
    void scrollsToTopAfterLoading();
    void looksLikeSunkenTextBox();
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

void TestRichTextView::ignoresEditingKeys_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");

    QTest::newRow("letter") << Qt::Key_A << Qt::KeyboardModifiers();
    QTest::newRow("return") << Qt::Key_Return << Qt::KeyboardModifiers();
    QTest::newRow("delete") << Qt::Key_Delete << Qt::KeyboardModifiers();
    QTest::newRow("backspace") << Qt::Key_Backspace << Qt::KeyboardModifiers();
    QTest::newRow("paste") << Qt::Key_V << Qt::KeyboardModifiers(Qt::ControlModifier);
    QTest::newRow("cut") << Qt::Key_X << Qt::KeyboardModifiers(Qt::ControlModifier);
}

void TestRichTextView::ignoresEditingKeys()
{
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);

    RichTextView view;
    QVERIFY(showWith(view, numberedParagraphs(3), QSize(400, 300)));
    const QString before = view.toPlainText();
    QGuiApplication::clipboard()->setText(u"pasted"_s);

    // With everything selected, as a student pressing keys in the booklet might.
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&view, key, modifiers);
    QCOMPARE(view.toPlainText(), before);
}

void TestRichTextView::selectsWithKeyboardAndMouse()
{
    RichTextView view;
    QVERIFY(showWith(view, numberedParagraphs(3), QSize(400, 300)));

    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view.textCursor().selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n')),
             u"第 1 問\n第 2 問\n第 3 問"_s);

    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QVERIFY(!view.textCursor().hasSelection());
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(view.textCursor().selectedText(), u"第"_s);

    // Pressing inside a selection would start dragging it instead.
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    const QRect firstLine = view.cursorRect(QTextCursor(view.document()));
    const QPoint from = firstLine.center() + QPoint(1, 0);
    const QPoint to = from + QPoint(60, 0);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, view.viewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, to);
    QVERIFY(view.textCursor().hasSelection());
    QVERIFY(view.textCursor().selectedText().startsWith(u"第"_s));
}

void TestRichTextView::scrollsVerticallyOnly_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<bool>("wraps");

    QTest::newRow("three paragraphs") << numberedParagraphs(3) << false << false;
    QTest::newRow("two hundred paragraphs") << numberedParagraphs(200) << true << false;
    QTest::newRow("one long line") << longLine() << false << true;
}

void TestRichTextView::scrollsVerticallyOnly()
{
    QFETCH(QByteArray, rtf);
    QFETCH(bool, vertical);
    QFETCH(bool, wraps);

    RichTextView view;
    QVERIFY(showWith(view, rtf));
    QCoreApplication::processEvents();

    QCOMPARE(view.verticalScrollBar()->isVisible(), vertical);
    QVERIFY(!view.horizontalScrollBar()->isVisible());
    QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
    // Lines wrap at the viewer's own width.
    QVERIFY(view.document()->size().width() <= view.viewport()->width());
    QCOMPARE(view.document()->lastBlock().layout()->lineCount() >= 2, wraps);
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

void TestRichTextView::looksLikeSunkenTextBox()
{
    RichTextView view;
    QVERIFY(showWith(view, numberedParagraphs(1)));

    QCOMPARE(view.frameShape(), QFrame::StyledPanel);
    QCOMPARE(view.frameShadow(), QFrame::Sunken);
    const QImage picture = view.viewport()->grab().toImage();
    QCOMPARE(picture.pixelColor(picture.width() - 5, picture.height() - 5), view.palette().color(QPalette::Base));
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
