// The exam's own logic, with no window: the marking rule of one question against the
// published key (the correct box alone earns the question, any other box ticked with
// it, the last box included, earns nothing), the whole sheet's marking from its ticks,
// the countdown's minutes, and the band of a score.
#include "answerkey.h"
#include "countdown.h"
#include "marking.h"
#include "publishedkey.h"
#include "verdict.h"

#include <QtTest>
#include <optional>

Q_DECLARE_METATYPE(std::optional<int>)

using Ticks = QList<QPair<int, int>>; // (question, box); box 1..8, a bit of its page's ticks


class ExamCoreTest : public QObject
{
    Q_OBJECT

private slots:
    void marking_data();
    void marking();
    void markSheet_data();
    void markSheet();
    void countdown_data();
    void countdown();
    void remainingTimeCaption_data();
    void remainingTimeCaption();
    void verdictBand_data();
    void verdictBand();
};

void ExamCoreTest::marking_data()
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

void ExamCoreTest::marking()
{
    QFETCH(int, question);
    QFETCH(QList<int>, ticked);
    QFETCH(bool, earns);

    const AnswerKeyRow &row = answerKey[question - 1];
    QCOMPARE(row.choices, keyTable[question - 1].choices);
    QCOMPARE(row.correctBox, keyTable[question - 1].correct);
    QCOMPARE(row.points, keyTable[question - 1].points);
    QCOMPARE(answeredCorrectly(row, [&ticked](int box) { return ticked.contains(box); }), earns);
}

// The sheet as Score reads it: a bit a box, bits beyond the page's boxes included.
// What the sheet keeps and earns; the window's own marking is tst_exammarking.
void ExamCoreTest::markSheet_data()
{
    QTest::addColumn<Ticks>("ticks");
    QTest::addColumn<Ticks>("kept");
    QTest::addColumn<QList<int>>("earning");
    QTest::addColumn<int>("total");

    Ticks key;
    QList<int> all;
    for (int question = 1; question <= 36; ++question) {
        key << qMakePair(question, keyTable[question - 1].correct);
        all << question;
    }
    QTest::newRow("none ticked") << Ticks{} << Ticks{} << QList<int>{} << 0;
    QTest::newRow("all right") << key << key << all << 100;
    QTest::newRow("q1 right and wrong boxes, both kept")
        << Ticks{{1, 4}, {1, 2}} << Ticks{{1, 4}, {1, 2}} << QList<int>{} << 0;
    QTest::newRow("q1 right, box 5 beyond its four") << Ticks{{1, 4}, {1, 5}} << Ticks{{1, 4}} << QList<int>{1} << 3;
    QTest::newRow("q24 right, boxes 7 and 8 beyond its six")
        << Ticks{{24, 6}, {24, 7}, {24, 8}} << Ticks{{24, 6}} << QList<int>{24} << 3;
    QTest::newRow("q3 right, q8 right and wrong, q29 beyond only")
        << Ticks{{3, 4}, {8, 5}, {8, 6}, {29, 7}} << Ticks{{3, 4}, {8, 5}, {8, 6}} << QList<int>{3} << 2;
}

void ExamCoreTest::markSheet()
{
    QFETCH(Ticks, ticks);
    QFETCH(Ticks, kept);
    QFETCH(QList<int>, earning);
    QFETCH(int, total);

    std::array<TickedBoxes, questionCount> sheet{};
    for (const auto &[question, box] : ticks)
        sheet[size_t(question - 1)] |= TickedBoxes(1u << (box - 1));
    const Marking marking = ::markSheet(sheet);

    QCOMPARE(marking.total, total);
    int sum = 0;
    for (int question = 1; question <= 36; ++question) {
        const QuestionMarking &result = marking.question(question);
        for (int box = 1; box <= 8; ++box)
            QCOMPARE((result.tickedBoxes >> (box - 1)) & 1, int(kept.contains(qMakePair(question, box))));
        QCOMPARE(result.points, earning.contains(question) ? keyTable[question - 1].points : 0);
        sum += result.points;
    }
    QCOMPARE(sum, total);
}

// Minutes left at a time after Start: one comes off at each wall-clock minute boundary,
// counted to the millisecond from where in its minute the clock stood at Start.
void ExamCoreTest::countdown_data()
{
    QTest::addColumn<QTime>("startedAt");
    QTest::addColumn<qint64>("msLater");
    QTest::addColumn<int>("minutesLeft");

    QTest::newRow("at Start") << QTime(10, 0, 25) << qint64(0) << 60;
    QTest::newRow("just before the first boundary") << QTime(10, 0, 25) << qint64(34999) << 60;
    QTest::newRow("first boundary") << QTime(10, 0, 25) << qint64(35000) << 59;
    QTest::newRow("59th boundary") << QTime(10, 0, 25) << qint64(35000 + 58 * 60000) << 1;
    QTest::newRow("60th boundary") << QTime(10, 0, 25) << qint64(35000 + 59 * 60000) << 0;
    QTest::newRow("long after") << QTime(10, 0, 25) << qint64(5 * 3600000) << 0;
    QTest::newRow("started at :59.700, 299 ms on") << QTime(10, 0, 59, 700) << qint64(299) << 60;
    QTest::newRow("started at :59.700, 300 ms on") << QTime(10, 0, 59, 700) << qint64(300) << 59;
    QTest::newRow("started on a boundary") << QTime(10, 0, 0) << qint64(59999) << 60;
}

void ExamCoreTest::countdown()
{
    QFETCH(QTime, startedAt);
    QFETCH(qint64, msLater);
    QFETCH(int, minutesLeft);

    Countdown countdown;
    countdown.start(startedAt, 5000);
    QCOMPARE(countdown.minutesLeft(5000 + msLater), minutesLeft);
}

void ExamCoreTest::remainingTimeCaption_data()
{
    QTest::addColumn<int>("minutesLeft");
    QTest::addColumn<QString>("caption");
    QTest::newRow("an hour") << 60 << "1:00";
    QTest::newRow("59") << 59 << "0:59";
    QTest::newRow("10") << 10 << "0:10";
    QTest::newRow("9") << 9 << "0:09";
    QTest::newRow("none") << 0 << "0:00";
}

void ExamCoreTest::remainingTimeCaption()
{
    QFETCH(int, minutesLeft);
    QFETCH(QString, caption);
    QCOMPARE(::remainingTimeCaption(minutesLeft), caption);
}

// The band table of Pass rate; no score (never marked, or cleared by Start) shows nothing.
void ExamCoreTest::verdictBand_data()
{
    QTest::addColumn<std::optional<int>>("score");
    QTest::addColumn<int>("band");
    QTest::newRow("no score") << std::optional<int>() << 0;
    const int rows[][2] = {{100, 1}, {99, 2}, {98, 2}, {80, 2}, {79, 3}, {60, 3}, {59, 4}, {40, 4},
                           {39, 5}, {9, 5}, {2, 5}, {1, 5}, {0, 6}, {101, 0}, {-1, 0}};
    for (const auto &row : rows)
        QTest::addRow("%d", row[0]) << std::optional<int>(row[0]) << row[1];
}

void ExamCoreTest::verdictBand()
{
    QFETCH(std::optional<int>, score);
    QFETCH(int, band);
    QCOMPARE(verdictBandFor(score), band);
}

QTEST_GUILESS_MAIN(ExamCoreTest)
#include "tst_examcore.moc"
