#include "diagnosis.h"

#include "reviewreport.h"

namespace {

QString minutesText(double minutes)
{
    return QString::number(minutes, 'f', 1);
}

// "14 問、すべて第4問以降" when no blank comes before section 4: a run cut short.
QString blanksText(const ReviewReport &report)
{
    const int first = sectionOf(report.blank.first());
    const int last = sectionOf(report.blank.last());
    QString text = QStringLiteral("%1 問").arg(report.blank.size());
    if (report.blank.size() == 1)
        text += QStringLiteral("、第%1問").arg(first);
    else if (first == last)
        text += QStringLiteral("、すべて第%1問").arg(first);
    else if (first > 1)
        text += QStringLiteral("、すべて第%1問以降").arg(first);
    return text;
}

QString lostPointsSentence(const ReviewReport &report)
{
    const int lost = report.lostToWrong + report.lostToBlank;
    if (report.blank.isEmpty())
        return QStringLiteral("失点 %1 点はすべて誤答（%2 問）です。").arg(lost).arg(report.wrong.size());
    if (report.wrong.isEmpty())
        return QStringLiteral("失点 %1 点はすべて無解答（%2）です。").arg(lost).arg(blanksText(report));
    return QStringLiteral("失点 %1 点のうち %2 点は無解答（%3）。").arg(lost).arg(report.lostToBlank).arg(blanksText(report));
}

// The section that ran furthest over its share of the time, by at least overrunMinutes; 0 for none.
int overrunSection(const ReviewReport &report, double *over)
{
    int worst = 0;
    *over = diagnosis::overrunMinutes;
    for (int section = 1; section <= sectionCount; ++section) {
        const double excess = report.section(section).spentMs / 60000.0 - report.section(section).minutesByPoints;
        if (excess >= *over) {
            *over = excess;
            worst = section;
        }
    }
    return worst;
}

QString timeSentence(const ReviewReport &report)
{
    const int lost = report.lostToWrong + report.lostToBlank;
    const bool blanksFirst = !report.blank.isEmpty() && report.lostToBlank * 100 >= lost * diagnosis::blankSharePercent;
    double over = 0;
    const int section = report.timed ? overrunSection(report, &over) : 0;
    const QString advice = QStringLiteral("まず時間配分を見直しましょう。");
    if (section > 0)
        return QStringLiteral("第%1問に目安より %2 分多く使いました。").arg(section).arg(minutesText(over))
               + (blanksFirst ? advice : QString());
    if (!blanksFirst)
        return {};
    if (report.ranOutOfTime)
        return QStringLiteral("時間内に最後まで解き終えられませんでした。") + advice;
    return QStringLiteral("わからない設問も、選択肢を絞って解答しましょう。");
}

// The era or theme with the most wrong answers (then the most points lost to them);
// eras come first on a tie.
const TagScore *mostWrong(const ReviewReport &report)
{
    const TagScore *most = nullptr;
    for (const QList<TagScore> *tags : {&report.eras, &report.themes}) {
        for (const TagScore &tag : *tags) {
            if (!most || tag.wrong.size() > most->wrong.size()
                || (tag.wrong.size() == most->wrong.size() && tag.lostToWrong > most->lostToWrong))
                most = &tag;
        }
    }
    return most;
}

QString keywordsOf(const ReviewReport &report, const QList<int> &questions)
{
    QStringList keywords;
    for (int question : questions) {
        const QString &keyword = report.question(question).keyword;
        if (!keyword.isEmpty() && keywords.size() < diagnosis::keywordsToName && !keywords.contains(keyword))
            keywords << keyword;
    }
    QString text = keywords.join(QStringLiteral("、"));
    if (!text.isEmpty() && questions.size() > keywords.size())
        text += QStringLiteral("など");
    return text;
}

QString knowledgeSentence(const ReviewReport &report)
{
    if (report.wrong.isEmpty())
        return {};
    const TagScore *most = mostWrong(report);
    if (most && most->wrong.size() >= diagnosis::wrongToName) {
        return QStringLiteral("誤答がいちばん多いのは%1（%2 問・%3 点）：%4。")
            .arg(most->name)
            .arg(most->wrong.size())
            .arg(most->lostToWrong)
            .arg(keywordsOf(report, most->wrong));
    }
    const QString keywords = keywordsOf(report, report.wrong);
    return QStringLiteral("誤答は %1 問（%2 点）").arg(report.wrong.size()).arg(report.lostToWrong)
           + (keywords.isEmpty() ? QString() : QStringLiteral("：") + keywords) + QStringLiteral("。");
}

QString untimedSentence()
{
    return QStringLiteral("スタートを押さずに採点したため、時間の使い方は記録されていません。");
}

} // namespace

QStringList diagnose(const ReviewReport &report)
{
    if (report.wrong.isEmpty() && report.blank.isEmpty()) {
        return {QStringLiteral("全問正解です。"),
                report.timed ? QStringLiteral("開始から採点まで %1 分でした。").arg(minutesText(report.runMs / 60000.0))
                             : untimedSentence()};
    }
    QStringList sentences{lostPointsSentence(report), timeSentence(report), knowledgeSentence(report)};
    if (report.lostToSeveralTicks > 0)
        sentences << QStringLiteral("複数解答で %1 点を失いました。").arg(report.lostToSeveralTicks);
    if (!report.timed)
        sentences << untimedSentence();
    sentences.removeAll(QString());
    return sentences.mid(0, 4);
}
