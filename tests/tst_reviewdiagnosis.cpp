// What the review makes of a student's run: the booklet's own words for every
// question, the mistakes with their reasons, the points by era and theme, and
// where the minutes of the run went.
#include "bookletquotes.h"
#include "documenttesting.h"
#include "explanations.h"
#include "diagnosis.h"
#include "reviewdata.h"
#include "reviewreport.h"
#include "runtiming.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

const QString space = QStringLiteral("\u3000");

QuestionMarking marked(int question, const QList<int> &ticks)
{
    QuestionMarking marking;
    for (int box : ticks)
        marking.setTicked(box, true);
    const AnswerKeyRow &key = answerKey[size_t(question - 1)];
    if (answeredCorrectly(key, [&marking](int box) { return marking.isTicked(box); }))
        marking.points = key.points;
    return marking;
}

Marking markedSheet(const QList<QPair<int, QList<int>>> &ticks)
{
    Marking marking;
    for (const auto &[question, boxes] : ticks) {
        marking.question(question) = marked(question, boxes);
        marking.total += marking.question(question).points;
    }
    return marking;
}

// The key's box ticked on the questions from first to last, nothing elsewhere.
Marking keyedFromTo(int first, int last)
{
    QList<QPair<int, QList<int>>> ticks;
    for (int n = first; n <= last; ++n)
        ticks.append({n, {answerKey[size_t(n - 1)].correctBox}});
    return markedSheet(ticks);
}

// Question: its ticks; a run's steps: (minute, section looked at, or minus the question answered).
using Changes = QMap<int, QList<int>>;
using Steps = QList<QPair<double, int>>;

// The key's box on every question but those in changed: their ticks instead (none: blank).
Marking keyedExcept(const Changes &changed)
{
    QList<QPair<int, QList<int>>> ticks;
    for (int n = 1; n <= questionCount; ++n)
        ticks.append({n, changed.value(n, {answerKey[size_t(n - 1)].correctBox})});
    return markedSheet(ticks);
}

Changes blanksFrom(int first, Changes changed = {})
{
    for (int n = first; n <= questionCount; ++n)
        changed.insert(n, {});
    return changed;
}

const qint64 minute = 60000;

// A run from Start at 0 with 0:00 at 60 minutes: each (minute, section) a look from then on,
// each (minute, -question) an answer changed then; Score at the end.
RunTiming scriptedRun(const Steps &steps, double scoreAt)
{
    RunTiming timing;
    timing.start(0, 60 * minute);
    for (const auto &[at, what] : steps) {
        if (what > 0)
            timing.look(what, qint64(at * minute));
        else
            timing.answerChanged(-what, qint64(at * minute));
    }
    timing.stop(qint64(scoreAt * minute));
    return timing;
}

// Every section for its share of the 60 minutes by its points.
const Steps evenRun{{0, 1}, {10.2, 2}, {20.4, 3}, {30.6, 4}, {40.8, 5}, {53.4, 6}};

} // namespace

class ReviewDiagnosisTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void choicesInWords_data();
    void choicesInWords();
    void mistakesOfAMixedSheet();
    void quotesAreTheBookletsOwnText();
    void quotesFollowTheBooklet_data();
    void quotesFollowTheBooklet();
    void scoresByEraAndTheme_data();
    void scoresByEraAndTheme();
    void sectionInView_data();
    void sectionInView();
    void minutesOfAScriptedRun();
    void answeringWhileReadingAhead_data();
    void answeringWhileReadingAhead();
    void diagnosisOfScriptedRuns_data();
    void diagnosisOfScriptedRuns();
    void wrongAndBlankApart_data();
    void wrongAndBlankApart();

private:
    QTextDocument m_booklet;
    QString m_bookletText;
    BookletQuotes m_quotes;
};

void ReviewDiagnosisTest::initTestCase()
{
    QCOMPARE(readShippedDocument(QStringLiteral(":/documents/booklet.rtf"), &m_booklet), QString());
    m_bookletText = m_booklet.toPlainText();
    m_quotes = quoteBooklet(m_bookletText);
    QCOMPARE(m_quotes.error, QString());
}

void ReviewDiagnosisTest::choicesInWords_data()
{
    QTest::addColumn<int>("question");
    QTest::addColumn<QList<int>>("ticks");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("key");

    QTest::newRow("right") << 1 << QList<int>{4} << QStringList{"あなたの解答 ④（正解）"} << "正解 ④　Ｘ　誤　Ｙ　誤";
    QTest::newRow("wrong") << 2 << QList<int>{1} << QStringList{"あなたの解答 ①　ア―代銭納　イ―借上"}
                           << "正解 ②　ア―代銭納　イ―為替";
    QTest::newRow("two boxes") << 4 << QList<int>{1, 2}
                               << QStringList{"あなたの解答 ①　東日本では主に銀貨が、西日本では主に金貨が取引に用いられ、両替商が両者の交換にあたった。",
                                              "あなたの解答 ②　幕府は金座・銀座・銭座を設けて、貨幣を鋳造させた。",
                                              "複数解答のため0点"}
                               << "正解 ②　幕府は金座・銀座・銭座を設けて、貨幣を鋳造させた。";
    QTest::newRow("blank") << 5 << QList<int>{} << QStringList{"無解答"} << "正解 ①　Ｘ　正　Ｙ　正";
    QTest::newRow("six choices right") << 8 << QList<int>{5} << QStringList{"あなたの解答 ⑤（正解）"} << "正解 ⑤　Ⅲ－Ⅰ－Ⅱ";
    QTest::newRow("six choices wrong") << 29 << QList<int>{6} << QStringList{"あなたの解答 ⑥　Ⅲ－Ⅱ－Ⅰ"}
                                       << "正解 ①　Ⅰ－Ⅱ－Ⅲ";
    QTest::newRow("columns of spaces") << 2 << QList<int>{3} << QStringList{"あなたの解答 ③　ア―撰銭　イ―借上"}
                                       << "正解 ②　ア―代銭納　イ―為替";
}

void ReviewDiagnosisTest::choicesInWords()
{
    QFETCH(int, question);
    QFETCH(QList<int>, ticks);
    QFETCH(QStringList, lines);
    QFETCH(QString, key);
    QCOMPARE(answerLines(question, marked(question, ticks), m_quotes.of(question)), lines);
    QCOMPARE(keyLine(question, m_quotes.of(question)), key);
}

// Right (1, 8, 36), wrong (2), two boxes (4), six choices wrong (29), the rest blank.
void ReviewDiagnosisTest::mistakesOfAMixedSheet()
{
    const Marking marking = markedSheet({{1, {4}}, {2, {3}}, {4, {1, 2}}, {8, {5}}, {29, {6}}, {36, {2}}});
    const MistakeSummary summary = summarize(marking);
    QCOMPARE(summary.wrong, (QList<int>{2, 4, 29}));
    QCOMPARE(summary.unanswered.size(), 30);
    QCOMPARE(summary.unanswered.first(), 3);
    QVERIFY(!summary.unanswered.contains(36) && summary.unanswered.contains(35));
    QCOMPARE(reasonFor(outcomeOf(4, marking.question(4))), QStringLiteral("複数解答のため0点"));
    QCOMPARE(reasonFor(outcomeOf(5, marking.question(5))), QStringLiteral("無解答"));
    QCOMPARE(reasonFor(outcomeOf(2, marking.question(2))), QString());

    const MistakeSummary none = summarize(keyedFromTo(1, questionCount));
    QVERIFY(none.wrong.isEmpty() && none.unanswered.isEmpty());
}

// Every quoted line is a paragraph of the booklet as its viewer shows it, in the
// question's order, and every choice stands on a choice line after its circled
// digit, however many spaces line the columns up.
void ReviewDiagnosisTest::quotesAreTheBookletsOwnText()
{
    const QStringList paragraphs = paragraphsOf(m_booklet);
    int searchFrom = 0;
    for (int n = 1; n <= questionCount; ++n) {
        const QuestionQuote &quote = m_quotes.of(n);
        const int at = int(paragraphs.indexOf(quote.instruction, searchFrom));
        QVERIFY2(at >= 0 && quote.instruction.startsWith(QStringLiteral("問")), qPrintable(QString::number(n)));
        for (qsizetype i = 0; i < quote.statements.size(); ++i)
            QCOMPARE(paragraphs.value(at + 1 + int(i)), quote.statements[i]);
        QCOMPARE(quote.choices.size(), answerKey[size_t(n - 1)].choices);
        // The question's lines run to the next empty paragraph.
        const int end = int(paragraphs.indexOf(QString(), at));
        const QString choiceLines = paragraphs.mid(at + 1, end - at - 1).join(QLatin1Char('\n'));
        for (int box = 1; box <= quote.choices.size(); ++box) {
            const QString text = quote.choices[box - 1];
            QVERIFY2(!text.isEmpty(), qPrintable(QStringLiteral("question %1 box %2").arg(n).arg(box)));
            const QString pattern = QStringLiteral("(^|\u3000)") + circledDigit(box) + space
                                    + QRegularExpression::escape(text).replace(space, space + QLatin1Char('+'))
                                    + QStringLiteral("(\u3000|$)");
            QVERIFY2(QRegularExpression(pattern, QRegularExpression::MultilineOption).match(choiceLines).hasMatch(),
                     qPrintable(QStringLiteral("question %1 box %2: %3").arg(n).arg(box).arg(text)));
        }
        searchFrom = at + 1;
    }
    QCOMPARE(m_quotes.of(2).instruction,
             QStringLiteral("問２　空欄【　ア　】・【　イ　】に入る語句の組合せとして正しいものを、次の①～④のうちから一つ選べ。"));
    QCOMPARE(m_quotes.of(29).statements.size(), 3);
    QCOMPARE(m_quotes.of(33).statements,
             (QStringList{"Ｘ　恐慌の中で繭の価格が高騰し、養蚕農家の収入が大きく増えた。",
                          "Ｙ　東北地方などの農村では、欠食児童や娘の身売りが社会問題となった。"}));
    QCOMPARE(m_quotes.of(28).choices.value(2),
             QStringLiteral("1905年度末から1907年度末にかけて国有鉄道の営業キロが急増したのは、鉄道国有法により主要な私鉄が買収されたためである。"));
}

// The quotes come from the text they are given: a change there shows in them, and a
// booklet that no longer fits the answer key is refused rather than misquoted.
void ReviewDiagnosisTest::quotesFollowTheBooklet_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("fits");

    QTest::newRow("a choice reworded") << QStringLiteral("②　ア―代銭納　イ―為替") << QStringLiteral("②　ア―代銭納　イ―問丸") << true;
    QTest::newRow("a choice missing") << QStringLiteral("③　ア―撰銭　　イ―借上") << QString() << false;
    QTest::newRow("a question missing") << QStringLiteral("問３　下線部ｂについて述べた文") << QStringLiteral("下線部ｂについて述べた文") << false;
    QTest::newRow("a question out of turn") << QStringLiteral("問５　下線部ｄに関連して、江戸時代") << QStringLiteral("問６　下線部ｄに関連して、江戸時代") << false;
}

void ReviewDiagnosisTest::quotesFollowTheBooklet()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(bool, fits);
    QVERIFY(m_bookletText.count(from) == 1);
    const BookletQuotes quotes = quoteBooklet(QString(m_bookletText).replace(from, to));
    QCOMPARE(quotes.error.isEmpty(), fits);
    if (fits)
        QCOMPARE(quotes.of(2).choices.value(1), QStringLiteral("ア―代銭納　イ―問丸"));
}

// The tags of the explanations' source: questions 1-12 keyed and nothing else gives
// these points, weakest first, the questions missed, and which fall below 60 % (文化 at
// exactly 3 of 5 does not).
void ReviewDiagnosisTest::scoresByEraAndTheme_data()
{
    QTest::addColumn<int>("lastKeyed");
    QTest::addColumn<bool>("byEra");
    QTest::addColumn<QStringList>("scores");
    QTest::addColumn<QList<int>>("missedOfWeakest");
    QTest::addColumn<int>("belowSixtyPercent");

    QTest::newRow("eras, sections 1-2") << 12 << true
        << QStringList{"現代 0/5", "近世 3/20", "近代 6/33", "中世 5/22", "原始・古代 20/20"} << QList<int>{35, 36} << 4;
    QTest::newRow("themes, sections 1-2") << 12 << false
        << QStringList{"外交 3/14", "政治 8/35", "社会・経済 20/46", "文化 3/5"} << QList<int>{15, 19, 25, 29} << 3;
    QTest::newRow("eras, none") << 0 << true
        << QStringList{"原始・古代 0/20", "中世 0/22", "近世 0/20", "近代 0/33", "現代 0/5"}
        << QList<int>{1, 7, 8, 9, 10, 11, 12} << 5;
    QTest::newRow("themes, all") << questionCount << false
        << QStringList{"政治 35/35", "外交 14/14", "社会・経済 46/46", "文化 5/5"} << QList<int>{} << 0;
}

void ReviewDiagnosisTest::scoresByEraAndTheme()
{
    QFETCH(int, lastKeyed);
    QFETCH(bool, byEra);
    QFETCH(QStringList, scores);
    QFETCH(QList<int>, missedOfWeakest);
    QFETCH(int, belowSixtyPercent);
    const Explanations explanations = loadExplanations();
    QCOMPARE(explanations.error, QString());
    const QList<TagScore> found = byEra ? scoresByTag(keyedFromTo(1, lastKeyed), explanations.eras, eraNames())
                                        : scoresByTag(keyedFromTo(1, lastKeyed), explanations.themes, themeNames());
    QStringList written;
    for (const TagScore &score : found)
        written << QStringLiteral("%1 %2/%3").arg(score.name).arg(score.earned).arg(score.possible);
    QCOMPARE(written, scores);
    QCOMPARE(found.first().missed, missedOfWeakest);
    QCOMPARE(std::count_if(found.begin(), found.end(), [](const TagScore &score) { return score.needsStudy(); }),
             belowSixtyPercent);
}

void ReviewDiagnosisTest::sectionInView_data()
{
    QTest::addColumn<qreal>("top");
    QTest::addColumn<qreal>("bottom");
    QTest::addColumn<int>("section");

    QTest::newRow("title above the first heading") << qreal(-10) << qreal(90) << 1;
    QTest::newRow("mostly the third") << qreal(180) << qreal(290) << 3;
    QTest::newRow("a tie goes to the earlier") << qreal(150) << qreal(250) << 2;
    QTest::newRow("past the last heading") << qreal(550) << qreal(700) << 6;
    QTest::newRow("one heading filling the view") << qreal(410) << qreal(450) << 5;
}

void ReviewDiagnosisTest::sectionInView()
{
    QFETCH(qreal, top);
    QFETCH(qreal, bottom);
    QFETCH(int, section);
    QCOMPARE(::sectionInView({0, 100, 200, 300, 400, 500}, top, bottom), section);
}

// Start 20 s into a minute, so 0:00 comes after 59 min 40 s: section 1 for 5 minutes,
// 2 for 7, 1 again for 8, 3 for 20, then 5 until the time is up; Score at 62 minutes.
void ReviewDiagnosisTest::minutesOfAScriptedRun()
{
    const qint64 minute = 60000;
    const qint64 start = 5000000;
    RunTiming timing;
    timing.start(start, start + 60 * minute - 20000);
    timing.look(1, start);
    timing.look(2, start + 5 * minute);
    timing.answerChanged(3, start + 7 * minute);
    timing.look(1, start + 12 * minute);
    timing.look(3, start + 20 * minute);
    timing.answerChanged(7, start + 23 * minute + 30000);
    timing.answerChanged(3, start + 24 * minute);
    timing.look(5, start + 40 * minute);
    timing.answerChanged(25, start + 59 * minute + 50000);
    timing.look(6, start + 61 * minute);
    timing.stop(start + 62 * minute);
    timing.look(4, start + 63 * minute);

    const QList<qint64> expected{13 * minute, 7 * minute, 20 * minute, 0, 19 * minute + 40000, 0};
    qint64 sum = 0;
    for (int section = 1; section <= sectionCount; ++section) {
        QCOMPARE(timing.sectionMs(section), expected[section - 1]);
        sum += timing.sectionMs(section);
    }
    QCOMPARE(timing.runMs(), 60 * minute - 20000);
    QCOMPARE(sum, timing.runMs());
    QCOMPARE(timing.lastChangeMs(3) / minute, 24);
    QCOMPARE(timing.lastChangeMs(7) / minute, 23);
    QVERIFY(!timing.changedAfterTimeUp(7));
    QVERIFY(timing.changedAfterTimeUp(25));
    QCOMPARE(timing.lastChangeMs(1), -1);
    QCOMPARE(minutesByPoints(1), 10.2);
    QCOMPARE(minutesByPoints(6), 6.6);
}

// Ticking the answers of a section while the booklet already shows a later one counts
// for the section answered, between two of its changes; the totals stay the run's.
void ReviewDiagnosisTest::answeringWhileReadingAhead_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QList<double>>("minutes"); // sections 4, 5, 6

    // 4A-問1 (19) answered, then 4B-問4 (22) and 4B-問6 (24) with section 5 already in view.
    QTest::newRow("4B answered with 第5問 in view")
        << Steps{{0, 4}, {25, -19}, {30, 5}, {31, -22}, {33, -24}, {40, 6}} << QList<double>{33, 7, 20};
    QTest::newRow("one answer only") << Steps{{0, 4}, {30, 5}, {33, -24}, {40, 6}}
                                     << QList<double>{30, 10, 20};
    QTest::newRow("answers of two sections") << Steps{{0, 4}, {30, 5}, {31, -22}, {33, -25}, {40, 6}}
                                             << QList<double>{30, 10, 20};
    QTest::newRow("looking back is no reading ahead")
        << Steps{{0, 5}, {30, 4}, {31, -25}, {33, -26}, {40, 6}} << QList<double>{10, 30, 20};
}

void ReviewDiagnosisTest::answeringWhileReadingAhead()
{
    QFETCH(Steps, steps);
    QFETCH(QList<double>, minutes);
    const RunTiming timing = scriptedRun(steps, 60);
    for (int section = 4; section <= 6; ++section)
        QCOMPARE(timing.sectionMs(section), qint64(minutes[section - 4] * minute));
    QCOMPARE(timing.sectionMs(1) + timing.sectionMs(2) + timing.sectionMs(3), 0);
}

// Runs scripted as students have them; the sentences and the eras and themes counted as
// gaps in knowledge (wrong answers, not blanks, under 60 %).
void ReviewDiagnosisTest::diagnosisOfScriptedRuns_data()
{
    QTest::addColumn<Changes>("changed");
    QTest::addColumn<bool>("started");
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<double>("scoreAt");
    QTest::addColumn<QStringList>("sentences");
    QTest::addColumn<QStringList>("gaps");

    QTest::newRow("out of time after 24.5 minutes on 第3問")
        << blanksFrom(19, {{2, {1}}}) << true
        << Steps{{0, 1}, {10, 2}, {20, 3}, {44.5, 4}} << 62.0
        << QStringList{"失点 52 点のうち 49 点は無解答（18 問、すべて第4問以降）。",
                       "第3問に目安より 14.3 分多く使いました。まず時間配分を見直しましょう。",
                       "誤答は 1 問（3 点）：代銭納・為替（鎌倉時代の貨幣経済）。"}
        << QStringList{};
    QTest::newRow("wrong answers in 近代") << Changes{{25, {2}}, {28, {1}}, {29, {2}}, {30, {1}}, {36, {}}}
        << true << evenRun << 60.0
        << QStringList{"失点 14 点のうち 3 点は無解答（1 問、第6問）。",
                       "誤答がいちばん多いのは近代（4 問・11 点）：日米修好通商条約、鉄道の発達と鉄道国有法、条約改正（井上・陸奥・小村）など。"}
        << QStringList{};
    QTest::newRow("half the lost points blank, time up") << Changes{{25, {2}}, {36, {}}} << true << evenRun << 60.0
        << QStringList{"失点 6 点のうち 3 点は無解答（1 問、第6問）。",
                       "時間内に最後まで解き終えられませんでした。まず時間配分を見直しましょう。",
                       "誤答は 1 問（3 点）：日米修好通商条約。"}
        << QStringList{};
    QTest::newRow("wrong answers in 外交") << Changes{{9, {1}}, {15, {2}}, {19, {1}}} << true << evenRun << 60.0
        << QStringList{"失点 9 点はすべて誤答（3 問）です。",
                       "誤答がいちばん多いのは外交（3 問・9 点）：ヤマト政権と朝鮮半島、蒙古襲来（文永の役・弘安の役）、鉄砲の伝来と国産化。"}
        << QStringList{"外交"};
    QTest::newRow("two boxes ticked") << Changes{{4, {1, 2}}} << true << evenRun << 50.0
        << QStringList{"失点 3 点はすべて誤答（1 問）です。", "誤答は 1 問（3 点）：江戸時代の三貨（金・銀・銭）。",
                       "複数解答で 3 点を失いました。"}
        << QStringList{};
    QTest::newRow("perfect") << Changes{} << true << Steps{{0, 1}} << 45.0
        << QStringList{"全問正解です。", "開始から採点まで 45.0 分でした。"} << QStringList{};
    QTest::newRow("scored without スタート") << blanksFrom(33) << false << evenRun << 60.0
        << QStringList{"失点 11 点はすべて無解答（4 問、すべて第6問）です。", "わからない設問も、選択肢を絞って解答しましょう。",
                       "スタートを押さずに採点したため、時間の使い方は記録されていません。"}
        << QStringList{};
}

void ReviewDiagnosisTest::diagnosisOfScriptedRuns()
{
    QFETCH(Changes, changed);
    QFETCH(bool, started);
    QFETCH(Steps, steps);
    QFETCH(double, scoreAt);
    QFETCH(QStringList, sentences);
    QFETCH(QStringList, gaps);
    const std::optional<RunTiming> timing = started ? std::optional(scriptedRun(steps, scoreAt)) : std::nullopt;
    const ReviewReport report = makeReviewReport(keyedExcept(changed), timing, loadExplanations(), m_quotes);
    QCOMPARE(report.diagnosis, sentences);
    QStringList found;
    for (const QList<TagScore> *tags : {&report.eras, &report.themes}) {
        for (const TagScore &tag : *tags) {
            if (tag.isKnowledgeGap())
                found << tag.name;
        }
    }
    QCOMPARE(found, gaps);
}

// The points of a tag split into earned, lost to wrong answers and lost to blanks, on
// the sheet of the run out of time: 1A-問2 wrong, from 4A-問1 on blank.
void ReviewDiagnosisTest::wrongAndBlankApart_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("split"); // earned/possible, questions, wrong and blank: count・points

    QTest::newRow("中世") << "中世" << "19/22 8問 誤答 1・3 無解答 0・0";
    QTest::newRow("近代") << "近代" << "6/33 12問 誤答 0・0 無解答 10・27";
    QTest::newRow("外交") << "外交" << "6/14 5問 誤答 0・0 無解答 3・8";
    QTest::newRow("社会・経済") << "社会・経済" << "20/46 16問 誤答 1・3 無解答 8・23";
}

void ReviewDiagnosisTest::wrongAndBlankApart()
{
    QFETCH(QString, tag);
    QFETCH(QString, split);
    const ReviewReport report = makeReviewReport(keyedExcept(blanksFrom(19, {{2, {1}}})), std::nullopt,
                                                 loadExplanations(), m_quotes);
    QStringList found;
    for (const QList<TagScore> *tags : {&report.eras, &report.themes}) {
        for (const TagScore &score : *tags) {
            if (score.name == tag) {
                found << QStringLiteral("%1/%2 %3問 誤答 %4・%5 無解答 %6・%7")
                             .arg(score.earned).arg(score.possible).arg(score.questions)
                             .arg(score.wrong.size()).arg(score.lostToWrong).arg(score.blank.size()).arg(score.lostToBlank);
            }
        }
    }
    QCOMPARE(found, QStringList{split});
}

QTEST_MAIN(ReviewDiagnosisTest)
#include "tst_reviewdiagnosis.moc"
