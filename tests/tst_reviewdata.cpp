// The review's data: the 36 explanations, and the key, captions and points the review
// shows, against the published exam.
#include "fakeclock.h"
#include "publishedkey.h"
#include "reviewtesting.h"

#include "explanations.h"

class ReviewDataTest : public QObject
{
    Q_OBJECT

private slots:
    void explanationsNameTheKeyedChoice();
    void reviewComesFromTheAnswerKey();
    void malformedExplanations_data();
    void malformedExplanations();
};

void ReviewDataTest::explanationsNameTheKeyedChoice()
{
    const Explanations explanations = loadExplanations();
    QCOMPARE(explanations.error, QString());
    for (int n = 1; n <= 36; ++n) {
        const QString &text = explanations.of(n);
        QVERIFY2(text.size() >= 100 && text.size() <= 300, qPrintable(QString::number(n)));
        const QString keyed = name("正解は") + QChar(0x2460 + keyTable[n - 1].correct - 1);
        QVERIFY2(text.contains(keyed), qPrintable(QStringLiteral("question %1: no %2").arg(n).arg(keyed)));
    }
}

// An empty sheet marked: every question's line shows the key's caption, box and points, its
// explanation, and the section table the key's points.
void ReviewDataTest::reviewComesFromTheAnswerKey()
{
    FakeClock clock;
    ExamWindow window(&clock);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    clickButton(&window, "cmd得点");
    ReviewWindow *review = openReview(&window);
    const Explanations explanations = loadExplanations();

    for (int n = 1; n <= 36; ++n) {
        const KeyRow &key = keyTable[n - 1];
        const QString caption = name(pageCaptions[n - 1]);
        QTextBlock line;
        QCOMPARE(reviewLine(review, caption, &line),
                 (QStringList{caption, name("あなたの解答　無解答"), name("正解　") + QChar(0x2460 + key.correct - 1),
                              QStringLiteral("× 0／%1").arg(key.points)}));
        QCOMPARE(line.next().text(), explanations.of(n));
    }
    const QStringList subtotals = reviewLine(review, name("得点／配点"));
    for (int section = 1; section <= 6; ++section)
        QCOMPARE(subtotals.value(section), QStringLiteral("0／%1").arg(sectionPointsTable[section - 1]));
}

void ReviewDataTest::malformedExplanations_data()
{
    QTest::addColumn<QByteArray>("data");
    QByteArray all;
    for (int n = 1; n <= questionCount; ++n)
        all += QByteArray::number(n) + "\ttext\n";
    QTest::newRow("one missing") << QByteArray(all).replace("7\ttext\n", "");
    QTest::newRow("out of order") << QByteArray(all).replace("3\t", "4\t");
    QTest::newRow("one too many") << all + "37\ttext\n";
}

void ReviewDataTest::malformedExplanations()
{
    QFETCH(QByteArray, data);
    QVERIFY(!parseExplanations(data).error.isEmpty());
}

QTEST_MAIN(ReviewDataTest)
#include "tst_reviewdata.moc"
