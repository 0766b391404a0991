// The marking rule of one question, against the answer key's own table: the
// correct box alone earns the question, any other box ticked with it, the
// last box included, earns nothing.
#include "answerkey.h"

#include <QtTest>

namespace {

// Choices and correct box of each question, as the answer key lists them.
struct KeyRow
{
    int choices;
    int correct;
};
const KeyRow keyTable[36] = {
    {4, 4}, {4, 2}, {6, 4}, {4, 2}, {4, 1}, {4, 4}, {4, 3}, {6, 5}, {4, 4}, {4, 3}, {4, 2}, {4, 4},
    {4, 1}, {4, 4}, {4, 1}, {4, 3}, {4, 2}, {4, 3}, {4, 4}, {4, 2}, {4, 2}, {4, 1}, {4, 3}, {6, 6},
    {4, 1}, {4, 4}, {4, 1}, {4, 3}, {6, 1}, {4, 4}, {4, 2}, {4, 3}, {4, 3}, {4, 4}, {4, 4}, {4, 2},
};

} // namespace

class AnswerKeyTest : public QObject
{
    Q_OBJECT

private slots:
    void marking_data();
    void marking();
};

void AnswerKeyTest::marking_data()
{
    QTest::addColumn<int>("question");
    QTest::addColumn<QList<int>>("ticked");
    QTest::addColumn<bool>("earns");

    for (int question = 1; question <= 36; ++question) {
        const KeyRow &key = keyTable[question - 1];
        QTest::addRow("%d: nothing", question) << question << QList<int>() << false;
        QTest::addRow("%d: box %d alone", question, key.correct) << question << QList<int>{key.correct} << true;
        for (int other = 1; other <= key.choices; ++other) {
            if (other != key.correct)
                QTest::addRow("%d: box %d and box %d", question, key.correct, other)
                    << question << QList<int>{key.correct, other} << false;
        }
    }
}

void AnswerKeyTest::marking()
{
    QFETCH(int, question);
    QFETCH(QList<int>, ticked);
    QFETCH(bool, earns);

    const AnswerKeyRow &row = answerKey[question - 1];
    QCOMPARE(row.choices, keyTable[question - 1].choices);
    QCOMPARE(answeredCorrectly(row, [&ticked](int box) { return ticked.contains(box); }), earns);
}

QTEST_MAIN(AnswerKeyTest)
#include "tst_answerkey.moc"
