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
        const QStringList lines = entryLines(review, answerPageCaption(n));
        QCOMPARE(lines.mid(lines.size() - 3),
                 (QStringList{explanations.of(n), name("学習のポイント　") + explanations.keywords[size_t(n - 1)],
                              explanations.studyPoints[size_t(n - 1)]}));
    }
    const QStringList subtotals = reviewLine(review, name("得点／配点"));
    for (int section = 1; section <= 6; ++section)
        QCOMPARE(subtotals.value(section), QStringLiteral("0／%1").arg(sectionPointsTable[section - 1]));
}

namespace {

// Explanations that read cleanly: every question tagged 中世 and 政治, its keyed choice
// marked right and the others wrong.
QByteArray wellFormedExplanations()
{
    QByteArray all;
    for (int n = 1; n <= questionCount; ++n) {
        const AnswerKeyRow &key = answerKey[size_t(n - 1)];
        all += QByteArray::number(n) + "\t中世\t政治\tkeyword\tpoint";
        for (int box = 1; box <= key.choices; ++box)
            all += box == key.correctBox ? "\t○right" : "\t×wrong";
        all += "\ttext\n";
    }
    return all;
}

} // namespace

void ReviewDataTest::malformedExplanations_data()
{
    QTest::addColumn<QByteArray>("data");
    const QByteArray all = wellFormedExplanations();
    const QList<QByteArray> lines = all.split('\n');
    QTest::newRow("one missing") << QByteArray(all).replace(lines[6] + '\n', "");
    QTest::newRow("out of order") << QByteArray(all).replace("\n3\t", "\n4\t");
    QTest::newRow("one too many") << all + QByteArray(lines[35]).replace("36\t", "37\t") + '\n';
    QTest::newRow("unknown era") << QByteArray(all).replace("5\t中世", "5\t中生");
    QTest::newRow("no theme") << QByteArray(all).replace("6\t中世\t政治\t", "6\t中世\t");
    // Question 1's key is ④ of four; question 3 has six choices.
    QTest::newRow("keyed choice wrong") << QByteArray(all).replace(lines[0], "1\t中世\t政治\tk\tp\t×\t×\t×\t×\ttext");
    QTest::newRow("two right") << QByteArray(all).replace(lines[0], "1\t中世\t政治\tk\tp\t○\t×\t×\t○\ttext");
    QTest::newRow("a choice short") << QByteArray(all).replace(lines[2], QByteArray(lines[2]).replace("\t×wrong", ""));
}

void ReviewDataTest::malformedExplanations()
{
    QFETCH(QByteArray, data);
    QCOMPARE(parseExplanations(wellFormedExplanations()).error, QString());
    QVERIFY(!parseExplanations(data).error.isEmpty());
}

QTEST_MAIN(ReviewDataTest)
#include "tst_reviewdata.moc"
