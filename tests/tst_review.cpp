// The review of a marking, driven through the exam window's controls and menu.
#include "examfixture.h"
#include "reviewtesting.h"

#include "richtextview.h"

#include <QLabel>
#include <QMenu>
#include <QScrollBar>

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
    QCOMPARE(review->size(), QSize(792, 573));
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
// window follows each press of Score and Start in place, from the top; ticks
// changed in between change nothing.
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
    scroll->setValue(scroll->maximum());
    QVERIFY(scroll->value() > 0);
    const QString marked = documentText();
    clickBox(m_window, 1, 4);
    clickBox(m_window, 5, 1);
    QCOMPARE(documentText(), marked);
    QCOMPARE(reviewLine(review, name("1C-問5")).value(1), name("あなたの解答　無解答"));

    clickButton(m_window, "cmd得点");
    QCOMPARE(reviewLine(review, name("1A-問1")).value(3), name("× 0／3"));
    QCOMPARE(reviewLine(review, name("1C-問5")).value(3), name("○ 3／3"));
    QCOMPARE(scroll->value(), scroll->minimum());

    clickButton(m_window, "cmdスタート");
    QVERIFY(showsOnlyTheNotice());
    QCOMPARE(m_window->reviewWindow(), review);
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

QTEST_MAIN(ReviewTest)
#include "tst_review.moc"
