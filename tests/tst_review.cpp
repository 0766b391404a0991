// The review of a marking, driven through the exam window's controls and menu.
#include "announcer.h"
#include "examfixture.h"
#include "reviewtesting.h"

#include "richtextview.h"

#include <QAbstractTextDocumentLayout>
#include <QLabel>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

const QString notice = QStringLiteral("得点ボタンを押して採点すると、ここに解答と解説が表示されます。");

} // namespace

class ReviewTest : public ExamWindowFixture
{
    Q_OBJECT

private slots:

    void menuAndWindow();
    void mixedSheet_data();
    void mixedSheet();
    void subtotalsAddUpToTheScore();
    void followsOnlyScoreAndStart();
    void keepsItsZoomAcrossScores();
    void summaryLinksToTheEntries();
    void summaryLinkShowsItsEntry_data();
    void summaryLinkShowsItsEntry();
    void quotesTheBookletShown();
    void timesTheRun();
    void tabGoesFromLinkToLink_data();
    void tabGoesFromLinkToLink();
    void printsLikeABook();

private:
    void markMixedSheet();
    QString documentText() const;
    bool showsOnlyTheNotice() const;

};



// Right (1 ④, 8 ⑤ of six, 36 ②), wrong (2 ③), two boxes (4 ①②), blank (5).
void ReviewTest::markMixedSheet()
{
    clickBox(m_window, 1, 4);
    clickBox(m_window, 2, 3);
    clickBox(m_window, 4, 1);
    clickBox(m_window, 4, 2);
    clickBox(m_window, 8, 5);
    clickBox(m_window, 36, 2);
    clickButton(m_window, "cmd得点");
}

QString ReviewTest::documentText() const
{
    return reviewViewer(m_window->reviewWindow())->document()->toPlainText();
}

// The notice in view and the review's viewer hidden.
bool ReviewTest::showsOnlyTheNotice() const
{
    ReviewWindow *review = m_window->reviewWindow();
    auto *notice = review->findChild<QLabel *>(name("lbl案内"));
    return notice && notice->isVisible() && notice->text() == ::notice && !reviewViewer(review)->isVisible();
}

void ReviewTest::menuAndWindow()
{
    auto *game = m_window->findChild<QMenu *>(name("mnuGame"));
    const QList<QAction *> items = game->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0]->text(), name("解答・解説(&K)"));
    QVERIFY(items[1]->isSeparator());
    QCOMPARE(items[2]->text(), name("終了(&Q)"));

    ReviewWindow *review = openReview(m_window);
    QVERIFY(QTest::qWaitForWindowExposed(review));
    QCOMPARE(review->objectName(), name("frm解答解説"));
    QCOMPARE(review->windowTitle(), name("解答・解説"));
    // Beside the exam window where the screen has room; here it has none, so the review
    // opens over it, at its width, and ends above the answer sheet.
    QCOMPARE(review->width(), 792);
    QVERIFY(review->height() <= 573);
    auto *sheet = m_window->findChild<TabControl *>(name("SSTab2"));
    const QRect sheetOnScreen(sheet->mapToGlobal(QPoint(0, 0)), sheet->size());
    QVERIFY(!review->frameGeometry().intersects(sheetOnScreen));
    QVERIFY(!review->windowIcon().isNull());
    QVERIFY(review->isWindow() && !review->parentWidget() && !review->isModal());
    QCOMPARE(openReview(m_window), review);

    QTest::keyClick(review, Qt::Key_Escape);
    QTRY_VERIFY(!m_window->reviewWindow());
    QPointer<ReviewWindow> reopened = openReview(m_window);
    m_window->findChild<QAction *>(name("mnuExit"))->trigger();
    QTRY_VERIFY(!reopened);
}


void ReviewTest::mixedSheet_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("ticks");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("result");

    QTest::newRow("right") << name("1A-問1") << name("④") << name("④") << name("○ 3／3");
    QTest::newRow("wrong") << name("1A-問2") << name("③") << name("②") << name("× 0／3");
    QTest::newRow("two boxes") << name("1B-問4") << name("①②") << name("②") << name("× 0／3");
    QTest::newRow("blank") << name("1C-問5") << name("無解答") << name("①") << name("× 0／3");
    QTest::newRow("six choices") << name("2A-問2") << name("⑤") << name("⑤") << name("○ 3／3");
    QTest::newRow("last") << name("6B-問4") << name("②") << name("②") << name("○ 3／3");
    QTest::newRow("six choices blank") << name("4B-問6") << name("無解答") << name("⑥") << name("× 0／3");
}

void ReviewTest::mixedSheet()
{
    QFETCH(QString, caption);
    QFETCH(QString, ticks);
    QFETCH(QString, key);
    QFETCH(QString, result);

    markMixedSheet();
    ReviewWindow *review = openReview(m_window);
    QTextBlock line;
    QCOMPARE(reviewLine(review, caption, &line),
             (QStringList{caption, name("あなたの解答　") + ticks, name("正解　") + key, result}));

    // A wrong answer stands out by its line's colour as well as by its "×".
    const bool wrong = result.startsWith(name("×"));
    QTextCursor start(line);
    start.movePosition(QTextCursor::NextCharacter);
    QTextCursor mark(line);
    mark.setPosition(line.position() + line.text().indexOf(result) + 1);
    QCOMPARE(start.charFormat().background().style() != Qt::NoBrush, wrong);
    QCOMPARE(mark.charFormat().foreground().color() != QColor(Qt::black), wrong);
}

void ReviewTest::subtotalsAddUpToTheScore()
{
    markMixedSheet();
    const QString score = m_window->findChild<QLabel *>(name("lbl得点"))->text();
    QCOMPARE(score, name("9"));
    ReviewWindow *review = openReview(m_window);
    QVERIFY(documentText().startsWith(name("得点　9点／100点")));

    QCOMPARE(reviewLine(review, name("大問")),
             name("大問 第1問 第2問 第3問 第4問 第5問 第6問 合計").split(QLatin1Char(' ')));
    const QStringList subtotals = reviewLine(review, name("得点／配点"));
    QCOMPARE(subtotals, name("得点／配点 3／17 3／17 0／17 0／17 0／21 3／11 9／100").split(QLatin1Char(' ')));
    int sum = 0;
    for (int section = 1; section <= 6; ++section)
        sum += subtotals[section].section(name("／"), 0, 0).toInt();
    QCOMPARE(QString::number(sum), score);
}

// Before any Score only the notice shows, with no answer anywhere. Then the open
// window follows each press of Score and Start in place: the first Score after Start
// shows it from the top, a later one keeps the paragraph being read at the top;
// ticks changed in between change nothing.
void ReviewTest::followsOnlyScoreAndStart()
{
    clickButton(m_window, "cmdスタート");
    clickBox(m_window, 3, 1);
    ReviewWindow *review = openReview(m_window);
    QVERIFY(QTest::qWaitForWindowExposed(review));
    QVERIFY(showsOnlyTheNotice());
    QCOMPARE(documentText(), QString());
    markMixedSheet();
    QVERIFY(!showsOnlyTheNotice());
    QCOMPARE(m_window->reviewWindow(), review);
    QCOMPARE(reviewLine(review, name("1A-問1")).value(3), name("○ 3／3"));

    QScrollBar *scroll = reviewViewer(review)->verticalScrollBar();
    QCOMPARE(scroll->value(), scroll->minimum());
    scroll->setValue(scroll->maximum() / 2);
    const auto paragraphAtTop = [review] { return reviewViewer(review)->cursorForPosition(QPoint(1, 1)).block().text(); };
    const QString reading = paragraphAtTop();
    QVERIFY(scroll->value() > 0);
    const QString marked = documentText();
    clickBox(m_window, 1, 4);
    clickBox(m_window, 5, 1);
    QCOMPARE(documentText(), marked);
    QCOMPARE(reviewLine(review, name("1C-問5")).value(1), name("あなたの解答　無解答"));

    clickButton(m_window, "cmd得点");
    // Out of sight from the middle of the review, these two follow once the frame is out,
    // or at once when the reader does anything there: a key, here Shift alone.
    QTest::keyClick(reviewViewer(review), Qt::Key_Shift);
    QCOMPARE(reviewLine(review, name("1A-問1")).value(3), name("× 0／3"));
    QCOMPARE(reviewLine(review, name("1C-問5")).value(3), name("○ 3／3"));
    QCOMPARE(paragraphAtTop().section(QLatin1Char('\t'), 0, 0), reading.section(QLatin1Char('\t'), 0, 0));

    clickButton(m_window, "cmdスタート");
    QVERIFY(showsOnlyTheNotice());
    QCOMPARE(m_window->reviewWindow(), review);
    clickButton(m_window, "cmd得点");
    QCOMPARE(scroll->value(), scroll->minimum());
}

// Lines rewritten by a new Score come out at the zoom the student chose, like the
// rest: the same text and sizes as a fresh review at 100 %, doubled.
void ReviewTest::keepsItsZoomAcrossScores()
{
    const auto fragments = [this] {
        QList<QPair<QString, qreal>> found;
        QTextDocument *document = reviewViewer(m_window->reviewWindow())->document();
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it)
                found.append({it.fragment().text(), it.fragment().charFormat().fontPointSize()});
        }
        return found;
    };
    markMixedSheet();
    auto *viewer = qobject_cast<RichTextView *>(reviewViewer(openReview(m_window)));
    QVERIFY(viewer);
    viewer->setZoomPercent(200);
    clickBox(m_window, 1, 4);
    clickBox(m_window, 5, 1);
    clickButton(m_window, "cmd得点");
    const auto zoomed = fragments();

    delete m_window->reviewWindow();
    openReview(m_window);
    auto expected = fragments();
    for (auto &fragment : expected)
        fragment.second *= 2;
    QCOMPARE(zoomed, expected);
}

namespace {

// The paragraph of the review that starts with first, as its lines.
QStringList reviewParagraph(ReviewWindow *review, const QString &first)
{
    const QTextDocument *document = reviewViewer(review)->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.text().startsWith(first))
            return block.text().split(QChar::LineSeparator);
    }
    return {};
}

} // namespace

// The mistakes listed at the top, each a link to its entry, and the entries in the
// booklet's own words with the reason for no points.
void ReviewTest::summaryLinksToTheEntries()
{
    markMixedSheet();
    ReviewWindow *review = openReview(m_window);
    QVERIFY(QTest::qWaitForWindowExposed(review));
    const QStringList summary = reviewParagraph(review, name("誤答"));
    QCOMPARE(summary.mid(0, 5), (QStringList{name("誤答　2 問（6 点）"), name("\t第1問\t1A-問2、1B-問4"),
                                             name("無解答　31 問（85 点）"), name("\t第1問\t1B-問3、1C-問5、1C-問6"),
                                             name("\t第2問\t2A-問1、2A-問3、2A-問4、2B-問5")}));

    const QStringList entry = entryLines(review, name("1B-問4"));
    QCOMPARE(entry.mid(1, 8), (QStringList{
        name("時代・テーマ　近世／社会・経済"),
        name("あなたの解答 ①　東日本では主に銀貨が、西日本では主に金貨が取引に用いられ、両替商が両者の交換にあたった。"),
        name("あなたの解答 ②　幕府は金座・銀座・銭座を設けて、貨幣を鋳造させた。"),
        name("複数解答のため0点"),
        name("問４　下線部ｃに関連して、江戸時代の貨幣について述べた文として正しいものを、次の①～④のうちから一つ選べ。"),
        name("選択肢"),
        name("①×　東日本では主に銀貨が、西日本では主に金貨が取引に用いられ、両替商が両者の交換にあたった。（あなたの解答）　―　東西が逆。江戸は金遣い、上方は銀遣いであった"),
        name("②○　幕府は金座・銀座・銭座を設けて、貨幣を鋳造させた。（あなたの解答）　―　幕府は金座・銀座・銭座を設けて貨幣を鋳造させた")}));
    const QStringList blank = entryLines(review, name("1C-問5"));
    QCOMPARE(blank.value(2), name("無解答"));
    QVERIFY(blank.contains(name("①○　Ｘ　正　Ｙ　正　―　Ｘ・Ｙとも正しい。不換紙幣が整理され、農民の没落が進んだ")));
    QCOMPARE(blank.value(blank.size() - 4), name("正解 ①　Ｘ　正　Ｙ　正"));
    QCOMPARE(blank.value(blank.size() - 2), name("学習のポイント　松方財政と松方デフレ"));
}

// A caption in the summary, clicked or taken with Return from the caret, brings its entry
// to the top; from the keyboard the caret goes there too, so reading on starts at the entry.
void ReviewTest::summaryLinkShowsItsEntry_data()
{
    QTest::addColumn<int>("key"); // 0: a click
    QTest::addColumn<int>("caretOffset"); // from the caption's first character
    QTest::newRow("click") << 0 << 0;
    QTest::newRow("Return at the caption's start") << int(Qt::Key_Return) << 0;
    QTest::newRow("keypad Enter inside it") << int(Qt::Key_Enter) << 3;
    QTest::newRow("Return just after it") << int(Qt::Key_Return) << 5;
}

void ReviewTest::summaryLinkShowsItsEntry()
{
    QFETCH(int, key);
    QFETCH(int, caretOffset);
    markMixedSheet();
    ReviewWindow *review = openReview(m_window);
    QVERIFY(QTest::qWaitForWindowExposed(review));
    QTextEdit *viewer = reviewViewer(review);
    const QTextCursor link = viewer->document()->find(name("1B-問4"));
    QVERIFY(link.block().text().startsWith(name("誤答")));
    if (key == 0) {
        const QPoint at = viewer->cursorRect(link).center() - QPoint(viewer->cursorRect(link).width() * 2, 0);
        QCOMPARE(viewer->anchorAt(at), QStringLiteral("#q4"));
        QTest::mouseClick(viewer->viewport(), Qt::LeftButton, {}, at);
    } else {
        QTextCursor caret(viewer->document());
        caret.setPosition(link.selectionStart() + caretOffset);
        viewer->setTextCursor(caret);
        QTest::keyClick(viewer, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        QVERIFY(viewer->textCursor().block().text().startsWith(name("1B-問4\t")));
        // A screen reader is told the line the caret went to.
        QCOMPARE(review->findChild<Announcer *>()->message().left(13), name("1B-問4 あなたの解答　"));
    }
    QVERIFY(viewer->cursorForPosition(QPoint(1, 1)).block().text().startsWith(name("1B-問4\t")));
    // Alt+Left comes back to the summary, the caret where the link was followed from.
    QTest::keyClick(viewer, Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(viewer->verticalScrollBar()->value(), 0);
    QVERIFY(viewer->textCursor().block().text().startsWith(name("誤答")));
}

// The quotes are the booklet the exam window shows, not a copy of it: a choice changed
// there is what the review quotes.
void ReviewTest::quotesTheBookletShown()
{
    QTextDocument *booklet = m_window->findChild<QTextEdit *>(name("RichTextBox1"))->document();
    QTextCursor choice = booklet->find(name("②　ア―代銭納　イ―為替"));
    QVERIFY(!choice.isNull());
    choice.insertText(name("②　ア―代銭納　イ―問丸"));
    clickBox(m_window, 2, 2);
    clickButton(m_window, "cmd得点");
    ReviewWindow *review = openReview(m_window);
    QVERIFY(entryLines(review, name("1A-問2")).contains(name("正解 ②　ア―代銭納　イ―問丸")));
}

// A run on the fake clock, started 20 s into a minute so 0:00 comes at 59 min 40 s:
// the booklet at its top (section 1) for 5 minutes, scrolled to section 2 until the
// figure tab at 12 minutes, whose answer page is then 2A-問1 (section 2) until 3A-問1
// (section 3) at 20; the booklet tab again at 40 (section 2 still scrolled into view)
// until the time is up. A tick after 0:00, and Score a minute later.
void ReviewTest::timesTheRun()
{
    const qint64 minute = 60000;
    auto *bookletTabs = m_window->findChild<TabControl *>(name("SSTab1"));
    auto *booklet = m_window->findChild<QTextEdit *>(name("RichTextBox1"));
    m_clock.setWall(QTime(10, 0, 20));
    clickButton(m_window, "cmdスタート");
    m_clock.advance(5 * minute);
    const QTextBlock section2 = booklet->document()->find(name("第２問")).block();
    booklet->verticalScrollBar()->setValue(
        int(booklet->document()->documentLayout()->blockBoundingRect(section2).top()));
    m_clock.advance(2 * minute);
    clickBox(m_window, 7, 3);
    m_clock.advance(5 * minute);
    QTest::mouseClick(bookletTabs, Qt::LeftButton, {}, bookletTabs->tabRect(1).center());
    m_clock.advance(8 * minute);
    clickBox(m_window, 13, 1);
    m_clock.advance(20 * minute);
    QTest::mouseClick(bookletTabs, Qt::LeftButton, {}, bookletTabs->tabRect(0).center());
    m_clock.advance(21 * minute);
    m_window->onTimerTick();
    clickBox(m_window, 36, 2);
    m_clock.advance(minute);
    clickButton(m_window, "cmd得点");

    ReviewWindow *review = openReview(m_window);
    const QStringList note = reviewParagraph(review, name("開始から採点まで"));
    QVERIFY2(note.value(0).startsWith(name("開始から採点まで 59.7分。")), qPrintable(note.value(0)));
    const QStringList timing = reviewParagraph(review, name("第1問\t"));
    const QStringList minutes{"5.0", "34.7", "20.0", "0.0", "0.0", "0.0"};
    const QStringList shares{"10.2", "10.2", "10.2", "10.2", "12.6", "6.6"};
    for (int section = 1; section <= 6; ++section) {
        QCOMPARE(timing.value(section - 1).section(QLatin1Char('\t'), 2),
                 name("使った時間 %1分　目安 %2分").arg(minutes[section - 1], shares[section - 1]));
    }
    QCOMPARE(entryLines(review, name("2A-問1")).value(2), name("あなたの解答 ③（正解）（解答を最後に変えた時刻：開始から 7 分）"));
    QCOMPARE(entryLines(review, name("3A-問1")).value(2), name("あなたの解答 ①（正解）（解答を最後に変えた時刻：開始から 20 分）"));
    QCOMPARE(entryLines(review, name("6B-問4")).value(2), name("あなたの解答 ②（正解）（解答を最後に変えた時刻：時間切れ後）"));
}

// Tab and Shift+Tab select the next and the previous link, round from either end, and
// a screen reader hears it; Return follows it, Alt+Left comes back to it and says its line.
void ReviewTest::tabGoesFromLinkToLink_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("link"); // empty: the review's last link, a study point
    QTest::newRow("Tab") << QList<int>{Qt::Key_Tab} << name("1A-問2");
    QTest::newRow("Tab twice") << QList<int>{Qt::Key_Tab, Qt::Key_Tab} << name("1B-問4");
    QTest::newRow("Shift+Tab back") << QList<int>{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Backtab} << name("1A-問2");
    QTest::newRow("Shift+Tab from the top") << QList<int>{Qt::Key_Backtab} << QString();
    QTest::newRow("Tab after the last") << QList<int>{Qt::Key_Backtab, Qt::Key_Tab} << name("1A-問2");
}

void ReviewTest::tabGoesFromLinkToLink()
{
    QFETCH(QList<int>, keys);
    QFETCH(QString, link);
    markMixedSheet();
    ReviewWindow *review = openReview(m_window);
    QVERIFY(QTest::qWaitForWindowExposed(review));
    QTextEdit *viewer = reviewViewer(review);
    for (QTextBlock block = viewer->document()->lastBlock(); link.isEmpty() && block.isValid(); block = block.previous()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isAnchor())
                link = it.fragment().text();
        }
    }
    for (int key : keys)
        QTest::keyClick(viewer, Qt::Key(key), key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
    const QTextCursor selected = viewer->textCursor();
    QCOMPARE(selected.selectedText(), link);
    QVERIFY(viewer->viewport()->rect().contains(viewer->cursorRect()));
    auto *announcer = review->findChild<Announcer *>();
    QCOMPARE(announcer->message(), link);

    const int scroll = viewer->verticalScrollBar()->value();
    QTest::keyClick(viewer, Qt::Key_Return);
    // A study point's link reads "1B-問4　keyword"; its entry starts with the caption alone.
    QVERIFY(viewer->textCursor().block().text().startsWith(link.section(QChar(0x3000), 0, 0) + QLatin1Char('\t')));
    for (int back = 0; back < 2; ++back) { // the second time, with nowhere to go back to
        QTest::keyClick(viewer, Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(viewer->textCursor().selectedText(), selected.selectedText());
        QCOMPARE(viewer->textCursor().position(), selected.position());
        QCOMPARE(viewer->verticalScrollBar()->value(), scroll);
    }
    QVERIFY2(announcer->message().contains(link), qPrintable(announcer->message()));
}

// Printed like a book: a header and the page's number on every page, and no entry,
// the one with 図１ in it included, split across two pages.
void ReviewTest::printsLikeABook()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    markMixedSheet();
    ReviewWindow *review = openReview(m_window);
    QTemporaryDir folder;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QPageSize::A4)); // 595 by 842 points
    printer.setOutputFileName(folder.filePath(QStringLiteral("review.pdf")));
    review->print(&printer);
    // A tool's output on the PDF; pdftotext's, page by page, of a band (x, y, width, height in points).
    const auto run = [&printer](const QString &tool, const QStringList &options, const QStringList &output) {
        QProcess process;
        process.start(tool, options + QStringList{printer.outputFileName()} + output);
        process.waitForFinished();
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    const auto pdfText = [&run](const QStringList &band) {
        return run(QStringLiteral("pdftotext"), QStringList{"-enc", "UTF-8"} + band, {"-"}).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    };
    const QStringList pages = pdfText({});
    const QStringList headers = pdfText({"-x", "0", "-y", "0", "-W", "595", "-H", "60"});
    const QStringList footers = pdfText({"-x", "0", "-y", "786", "-W", "595", "-H", "56"});
    QVERIFY(pages.size() > 5);
    const QDate today = QDate::currentDate();
    const QString date = name("%1年%2月%3日").arg(today.year()).arg(today.month()).arg(today.day());
    const QString score = m_window->findChild<QLabel *>(name("lbl得点"))->text().remove(QRegularExpression("\\D"));
    // (Lines of the text just off the page stay in the PDF, clipped: they may come between.)
    static const QRegularExpression space(QStringLiteral("\\s"));
    for (int page = 0; page < pages.size(); ++page) {
        for (const QString &text : {name("日本史B解答・解説"), date, name("得点%1点／100点").arg(score)})
            QVERIFY2(QString(headers[page]).remove(space).contains(text), qPrintable(name("page %1 lacks %2").arg(page + 1).arg(text)));
        QCOMPARE(footers.value(page).trimmed().section(QLatin1Char('\n'), -1), name("%1 / %2").arg(page + 1).arg(pages.size()));
    }
    // Each entry's caption, at the start of a line, on the page of its last line's start.
    for (int question = 1; question <= questionCount; ++question) {
        const QString entry = answerPageCaption(question);
        const QStringList lines = entryLines(review, entry).filter(QRegularExpression(QStringLiteral("\\S")));
        const QRegularExpression start(QLatin1Char('^') + entry + QStringLiteral("\\s"), QRegularExpression::MultilineOption);
        // The last page that has it: the summary above the entries names captions too.
        const auto page = std::find_if(pages.crbegin(), pages.crend(), [&](const QString &p) { return p.contains(start); });
        QVERIFY2(page != pages.crend() && page->contains(lines.last().left(20)), qPrintable(entry));
    }
    // 図１ in its own pixels (a missing picture is drawn as a small icon).
    const QImage figure(QStringLiteral(":/pictures/figure1.bmp"));
    QVERIFY(!figure.isNull());
    QVERIFY(run(QStringLiteral("pdfimages"), {QStringLiteral("-list")}, {})
                .contains(QRegularExpression(QStringLiteral(" %1 +%2 ").arg(figure.width()).arg(figure.height()))));
}

QTEST_MAIN(ReviewTest)
#include "tst_review.moc"
