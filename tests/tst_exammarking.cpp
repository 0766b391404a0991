// Marking the answer sheet through real clicks: the score, the marks, and the score label.
#include "examfixture.h"
#include "examtesting.h"
#include "examwindow.h"
#include "tabcontrol.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using Ticks = QList<QPair<int, int>>;

class ExamMarkingTest : public ExamWindowFixture
{
    Q_OBJECT

private slots:

    void marking_data();
    void marking();
    void eachQuestionAlone_data();
    void eachQuestionAlone();
    void secondPressGivesTheSameResult();
    void marksOnHiddenPagesAppearWhenChosen();
    void scoreBeforeAnyStart();
    void scoreLabelSizesItself();

private:
    void tick(int question, int box) { tickBox(m_window, question, box); }
    QString score() const { return m_window->findChild<QLabel *>(name("lbl得点"))->text(); }

};



void ExamMarkingTest::marking_data()
{
    QTest::addColumn<Ticks>("ticks");
    QTest::addColumn<QString>("expectedScore");
    QTest::addColumn<QList<int>>("marked");

    Ticks key, threes, twos;
    QList<int> all, threeQuestions, twoQuestions;
    for (int q = 1; q <= 36; ++q) {
        key << qMakePair(q, keyTable[q - 1].correct);
        all << q;
        if (keyTable[q - 1].points == 3) {
            threes << qMakePair(q, keyTable[q - 1].correct);
            threeQuestions << q;
        } else {
            twos << qMakePair(q, keyTable[q - 1].correct);
            twoQuestions << q;
        }
    }
    QTest::newRow("nothing ticked") << Ticks{} << "0" << QList<int>{};
    QTest::newRow("exactly the key") << key << "100" << all;
    QTest::newRow("only the 3-point questions") << threes << "84" << threeQuestions;
    QTest::newRow("only the 2-point questions") << twos << "16" << twoQuestions;
    QTest::newRow("q1 ④ alone") << Ticks{{1, 4}} << "3" << QList<int>{1};
    QTest::newRow("q1 ① and ④") << Ticks{{1, 1}, {1, 4}} << "0" << QList<int>{};
    QTest::newRow("q1 ④ and ③ after it") << Ticks{{1, 4}, {1, 3}} << "0" << QList<int>{};
    QTest::newRow("q1 all four") << Ticks{{1, 1}, {1, 2}, {1, 3}, {1, 4}} << "0" << QList<int>{};
    QTest::newRow("q2 ② with ④") << Ticks{{2, 2}, {2, 4}} << "0" << QList<int>{};
    QTest::newRow("q2 wrong only") << Ticks{{2, 3}} << "0" << QList<int>{};
    QTest::newRow("q3 ④ alone") << Ticks{{3, 4}} << "2" << QList<int>{3};
    QTest::newRow("q8 ⑤ alone") << Ticks{{8, 5}} << "3" << QList<int>{8};
    QTest::newRow("q24 ⑥ alone") << Ticks{{24, 6}} << "3" << QList<int>{24};
    QTest::newRow("q29 ① alone") << Ticks{{29, 1}} << "2" << QList<int>{29};
    QTest::newRow("q3 ④ with ⑥") << Ticks{{3, 4}, {3, 6}} << "0" << QList<int>{};
    QTest::newRow("q8 ⑤ with ①") << Ticks{{8, 5}, {8, 1}} << "0" << QList<int>{};
    QTest::newRow("q24 ⑥ with ⑤") << Ticks{{24, 6}, {24, 5}} << "0" << QList<int>{};
    QTest::newRow("q29 ① with ②") << Ticks{{29, 1}, {29, 2}} << "0" << QList<int>{};
    QTest::newRow("mixed right and wrong")
        << Ticks{{1, 4}, {5, 1}, {12, 3}, {36, 2}, {35, 4}, {35, 1}} << "9" << QList<int>{1, 5, 36};
}

void ExamMarkingTest::marking()
{
    QFETCH(Ticks, ticks);
    QFETCH(QString, expectedScore);
    QFETCH(QList<int>, marked);

    for (const auto &[question, box] : ticks)
        tick(question, box);
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmd得点")), Qt::LeftButton);

    QCOMPARE(score(), expectedScore);
    for (int q = 1; q <= 36; ++q)
        QVERIFY2(m_window->mark(q)->isHidden() != marked.contains(q), qPrintable(QString::number(q)));
    // Marking never changes a tick.
    for (const auto &[question, box] : ticks)
        QVERIFY(m_window->checkBox(question, box)->isChecked());
}

void ExamMarkingTest::eachQuestionAlone_data()
{
    QTest::addColumn<int>("question");
    QTest::addColumn<int>("correct");
    QTest::addColumn<QString>("points");
    for (int q = 1; q <= 36; ++q)
        QTest::addRow("question %d", q) << q << keyTable[q - 1].correct << QString::number(keyTable[q - 1].points);
}

void ExamMarkingTest::eachQuestionAlone()
{
    QFETCH(int, question);
    QFETCH(int, correct);
    QFETCH(QString, points);

    auto *scoreButton = m_window->findChild<QPushButton *>(name("cmd得点"));
    tick(question, correct);
    QTest::mouseClick(scoreButton, Qt::LeftButton);
    QCOMPARE(score(), points);
    QVERIFY(!m_window->mark(question)->isHidden());

    // Any other box ticked as well loses the question.
    const int other = correct == 1 ? 2 : 1;
    tick(question, other);
    QTest::mouseClick(scoreButton, Qt::LeftButton);
    QCOMPARE(score(), QStringLiteral("0"));
    QVERIFY(m_window->mark(question)->isHidden());
}

void ExamMarkingTest::secondPressGivesTheSameResult()
{
    tick(7, 3);
    tick(9, 1);
    tick(20, 2);
    auto *scoreButton = m_window->findChild<QPushButton *>(name("cmd得点"));
    QTest::mouseClick(scoreButton, Qt::LeftButton);
    QCOMPARE(score(), QStringLiteral("5"));
    QTest::mouseClick(scoreButton, Qt::LeftButton);
    QCOMPARE(score(), QStringLiteral("5"));
    QVERIFY(!m_window->mark(7)->isHidden());
    QVERIFY(m_window->mark(9)->isHidden());
    QVERIFY(!m_window->mark(20)->isHidden());
}

void ExamMarkingTest::marksOnHiddenPagesAppearWhenChosen()
{
    tick(30, 4);
    auto *sheet = m_window->findChild<TabControl *>(name("SSTab2"));
    QTest::mouseClick(sheet, Qt::LeftButton, {}, sheet->tabRect(0).center());
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmd得点")), Qt::LeftButton);
    QVERIFY(!m_window->mark(30)->isVisible());
    QVERIFY(!m_window->mark(30)->isHidden());
    QTest::mouseClick(sheet, Qt::LeftButton, {}, sheet->tabRect(29).center());
    QVERIFY(m_window->mark(30)->isVisible());
    QVERIFY(m_window->checkBox(30, 4)->isChecked());
}

void ExamMarkingTest::scoreBeforeAnyStart()
{
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmd得点")), Qt::LeftButton);
    QCOMPARE(score(), QStringLiteral("0"));
    QVERIFY(m_window->findChild<QPushButton *>(name("cmdスタート"))->isEnabled());
    QVERIFY(m_window->findChild<QLabel *>(name("lbl秒"))->text().isEmpty());
    QVERIFY(!m_window->findChild<QTimer *>(name("tmr時間"))->isActive());
}

void ExamMarkingTest::scoreLabelSizesItself()
{
    auto *label = m_window->findChild<QLabel *>(name("lbl得点"));
    auto *unit = m_window->findChild<QLabel *>(name("Label2"));
    for (int q = 1; q <= 36; ++q)
        tick(q, keyTable[q - 1].correct);
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmd得点")), Qt::LeftButton);
    QCOMPARE(label->text(), QStringLiteral("100"));
    QCOMPARE(label->pos(), px(720, 4320, 0, 0).topLeft());
    QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(QStringLiteral("100")));
    // Three digits still end well left of the right-aligned "点".
    const int unitLeft = unit->x() + unit->width() - unit->fontMetrics().horizontalAdvance(name("点"));
    QVERIFY2(label->x() + label->width() < unitLeft, qPrintable(QString::number(label->x() + label->width())));

    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmdスタート")), Qt::LeftButton);
    QVERIFY(label->text().isEmpty());
    QVERIFY(label->width() == 0 || !label->isVisible());
}

QTEST_MAIN(ExamMarkingTest)
#include "tst_exammarking.moc"
