// The top of the review: the totals, the diagnosis, the mistakes, the time and the
// points by era and theme, and the study points.
#include "reviewsections.h"

#include "barchart.h"

#include <cmath>

namespace reviewsections {

using namespace reviewtext;

namespace {

// Codes to a line in the lists of mistakes: a code must not break across lines, and at
// every zoom but the largest four of them fit the narrowest review.
constexpr int codesPerLine = 4;

// A chart's rows: the name, the bars, and the figures that the bars show, a point
// smaller so that the longest row of an era still fits a printed page.
void appendChartRow(QList<Run> *runs, const QString &name, const QList<BarChart::Bar> &bars, const QString &figures)
{
    if (!runs->isEmpty())
        runs->append({QString(lineSeparator), textFormat(10)});
    runs->append({name + QLatin1Char('\t'), textFormat(10)});
    runs->append({QString(QChar::ObjectReplacementCharacter), BarChart::format(bars, textFormat(10))});
    runs->append({QLatin1Char('\t') + figures, textFormat(9)});
}

// "誤答　6 問（17 点）", then per section its questions, each a link to its entry.
void appendMistakes(QList<Run> *runs, const QString &title, const QList<int> &questions, int points)
{
    if (!runs->isEmpty())
        runs->append({QString(lineSeparator), textFormat(10)});
    runs->append({title + QStringLiteral("　"), textFormat(10, true)});
    if (questions.isEmpty()) {
        runs->append({QStringLiteral("なし"), textFormat(10)});
        return;
    }
    runs->append({QStringLiteral("%1 問（%2 点）").arg(questions.size()).arg(points), textFormat(10)});
    int onLine = 0;
    int section = 0;
    for (int question : questions) {
        if (sectionOf(question) != section || onLine == codesPerLine) {
            const bool newSection = sectionOf(question) != section;
            section = sectionOf(question);
            onLine = 0;
            runs->append({QString(lineSeparator) + QLatin1Char('\t')
                              + (newSection ? QStringLiteral("第%1問").arg(section) : QString()) + QLatin1Char('\t'),
                          textFormat(10)});
        } else {
            runs->append({QStringLiteral("、"), textFormat(10)});
        }
        runs->append({answerPageCaption(question), linkFormat(question)});
        ++onLine;
    }
}

// The bar of an era or theme: what was earned, then what went to wrong answers and to
// blanks. The earned part is green only when there are questions enough to call the
// area strong and it is.
QList<BarChart::Bar> tagBars(const TagScore &score)
{
    const qreal possible = score.possible;
    const bool strong = !score.tooFewToRate() && !score.needsStudy();
    return {{score.earned / possible, strong ? strongBarColour : unratedBarColour},
            {score.lostToWrong / possible, wrongMarkColour, true},
            {score.lostToBlank / possible, blankBarColour, true}};
}

QString tagFigures(const TagScore &score)
{
    QString text = QStringLiteral("%1点（%2％）").arg(outOf(score.earned, score.possible))
                       .arg(qRound(100.0 * score.earned / score.possible));
    text += QStringLiteral("　誤答 %1問・%2点　無解答 %3問・%4点　計 %5問")
                .arg(score.wrong.size()).arg(score.lostToWrong).arg(score.blank.size()).arg(score.lostToBlank)
                .arg(score.questions);
    if (score.isKnowledgeGap())
        text += QStringLiteral("　要復習");
    return text;
}

// The timing chart's full length: the longest bar, rounded up to five minutes.
double timingScale(const ReviewReport &report)
{
    double longest = 0;
    for (const SectionReport &section : report.sections)
        longest = qMax(longest, qMax(section.spentMs / 60000.0, section.minutesByPoints));
    return qMax(5.0, std::ceil(longest / 5) * 5);
}

// "1C-問6 金本位制の確立", one link, on a line of its own.
void appendStudyLink(QList<Run> *runs, const QuestionReport &question)
{
    runs->append({QString(lineSeparator) + QLatin1Char('\t'), textFormat(10)});
    runs->append({question.caption + QStringLiteral("　") + question.keyword, linkFormat(question.question)});
    runs->append({QStringLiteral("　") + question.era + QStringLiteral("／") + question.theme,
                  textFormat(9, false, quoteColour)});
}

} // namespace

QList<Run> total(const ReviewReport &report)
{
    return {{QStringLiteral("得点　%1点／%2点").arg(report.total).arg(totalPoints()), textFormat(14, true)}};
}

QList<Run> diagnosis(const ReviewReport &report)
{
    return {{report.diagnosis.join(QString()), textFormat(10.5, true)}};
}

QList<Run> sectionScores(const ReviewReport &report)
{
    QList<Run> runs{{QStringLiteral("得点／配点"), textFormat(10, true, Qt::black, headerBackground)}};
    for (int section = 1; section <= sectionCount; ++section) {
        runs.append({QLatin1Char('\t') + outOf(report.section(section).earned, report.section(section).possible),
                     textFormat(10)});
    }
    runs.append({QLatin1Char('\t') + outOf(report.total, totalPoints()), textFormat(10, true)});
    return runs;
}

QList<Run> mistakes(const ReviewReport &report)
{
    if (report.wrong.isEmpty() && report.blank.isEmpty())
        return {{QStringLiteral("全問正解"), textFormat(10, true)}};
    QList<Run> runs;
    appendMistakes(&runs, QStringLiteral("誤答"), report.wrong, report.lostToWrong);
    appendMistakes(&runs, QStringLiteral("無解答"), report.blank, report.lostToBlank);
    return runs;
}

// Each section's minutes beside its share of the 60 by its points, as two bars on
// one scale: the longest of them, rounded up to five minutes.
QList<Run> timingNote(const ReviewReport &report)
{
    if (!report.timed)
        return {{QStringLiteral("時間の使い方は、スタートを押してから採点するまでの間だけ記録されます。"), textFormat(10)}};
    return {{QStringLiteral("開始から採点まで %1。上の棒が使った時間、下の棒が配点による目安です（棒の長さいっぱいで%2分）。"
                            "先の大問まで読み進めながら前の大問の解答を続けていた時間は、解答していた大問に数えます。"
                            "各設問の「開始から○分」は使った時間ではなく、その解答を最後に変えた時刻です。")
                 .arg(minutes(report.runMs))
                 .arg(timingScale(report)),
             textFormat(10)}};
}

QList<Run> timingChart(const ReviewReport &report)
{
    QList<Run> rows;
    if (!report.timed)
        return rows;
    const double scale = timingScale(report);
    for (int n = 1; n <= sectionCount; ++n) {
        const SectionReport &section = report.section(n);
        appendChartRow(&rows, QStringLiteral("第%1問").arg(n),
                       {{section.spentMs / 60000.0 / scale, spentBarColour},
                        {section.minutesByPoints / scale, shareBarColour}},
                       QStringLiteral("使った時間 %1　目安 %2分").arg(minutes(section.spentMs))
                           .arg(section.minutesByPoints, 0, 'f', 1));
    }
    return rows;
}

QList<Run> tagChart(const QString &title, const QList<TagScore> &scores)
{
    QList<Run> runs{{title, textFormat(10, true)}};
    for (const TagScore &score : scores)
        appendChartRow(&runs, score.name, tagBars(score), tagFigures(score));
    return runs;
}

// Gaps in knowledge come from wrong answers: the eras and themes where they took the
// share of the points answered below 60 %, then every wrong question with its keyword,
// each a link to its entry. Blanks are a matter of time and get a line of their own.
QList<Run> studyPoints(const ReviewReport &report)
{
    QList<Run> runs{{QStringLiteral("復習のポイント"), textFormat(10, true)}};
    QStringList gaps;
    for (const QList<TagScore> *tags : {&report.eras, &report.themes}) {
        for (const TagScore &tag : *tags) {
            if (tag.isKnowledgeGap())
                gaps << QStringLiteral("%1（誤答 %2 問・%3 点）").arg(tag.name).arg(tag.wrong.size()).arg(tag.lostToWrong);
        }
    }
    QString gapLine = gaps.isEmpty() ? QStringLiteral("解答した設問の得点が60％未満の時代・分野はありません。")
                                     : QStringLiteral("特に見直したい時代・分野：") + gaps.join(QStringLiteral("、"));
    runs.append({QString(lineSeparator) + gapLine, textFormat(10)});
    if (!report.wrong.isEmpty()) {
        runs.append({QString(lineSeparator) + QStringLiteral("誤答した設問とキーワード"), textFormat(10, true)});
        for (int question : report.wrong)
            appendStudyLink(&runs, report.question(question));
    }
    if (!report.blank.isEmpty()) {
        runs.append({QString(lineSeparator)
                         + QStringLiteral("無解答 %1 問（%2 点）は知識の弱点には数えていません。解く時間が足りなかったか、"
                                          "答えを選ばなかった設問です。上の一覧から解説を確かめましょう。")
                               .arg(report.blank.size()).arg(report.lostToBlank),
                     textFormat(10)});
    }
    return runs;
}

} // namespace reviewsections
