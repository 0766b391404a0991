#include "reviewdata.h"

#include "countdown.h"

#include <algorithm>

Outcome outcomeOf(int question, const QuestionMarking &marking)
{
    if (marking.points > 0)
        return Outcome::Right;
    int ticks = 0;
    for (int box = 1; box <= answerKey[size_t(question - 1)].choices; ++box)
        ticks += marking.isTicked(box) ? 1 : 0;
    return ticks == 0 ? Outcome::Unanswered : ticks == 1 ? Outcome::Wrong : Outcome::SeveralTicks;
}

QString reasonFor(Outcome outcome)
{
    switch (outcome) {
    case Outcome::SeveralTicks:
        return QStringLiteral("複数解答のため0点");
    case Outcome::Unanswered:
        return QStringLiteral("無解答");
    case Outcome::Right:
    case Outcome::Wrong:
        break;
    }
    return {};
}

namespace {

QString quotedChoice(int box, const QuestionQuote &quote)
{
    return circledDigit(box) + QChar(0x3000) + quote.choices.value(box - 1);
}

} // namespace

QStringList answerLines(int question, const QuestionMarking &marking, const QuestionQuote &quote)
{
    const AnswerKeyRow &key = answerKey[size_t(question - 1)];
    const Outcome outcome = outcomeOf(question, marking);
    if (outcome == Outcome::Right)
        return {QStringLiteral("あなたの解答 %1（正解）").arg(circledDigit(key.correctBox))};
    QStringList lines;
    for (int box = 1; box <= key.choices; ++box) {
        if (marking.isTicked(box))
            lines << QStringLiteral("あなたの解答 ") + quotedChoice(box, quote);
    }
    if (!reasonFor(outcome).isEmpty())
        lines << reasonFor(outcome);
    return lines;
}

QString keyLine(int question, const QuestionQuote &quote)
{
    return QStringLiteral("正解 ") + quotedChoice(answerKey[size_t(question - 1)].correctBox, quote);
}

MistakeSummary summarize(const Marking &marking)
{
    MistakeSummary summary;
    for (int n = 1; n <= questionCount; ++n) {
        const Outcome outcome = outcomeOf(n, marking.question(n));
        if (outcome == Outcome::Unanswered)
            summary.unanswered << n;
        else if (outcome != Outcome::Right)
            summary.wrong << n;
    }
    return summary;
}

QList<TagScore> scoresByTag(const Marking &marking, const std::array<int, questionCount> &tags,
                            const QStringList &names)
{
    QList<TagScore> scores(names.size());
    for (qsizetype i = 0; i < names.size(); ++i)
        scores[i].name = names[i];
    for (int n = 1; n <= questionCount; ++n) {
        const int tag = tags[size_t(n - 1)];
        if (tag < 0 || tag >= names.size())
            continue;
        TagScore &score = scores[tag];
        const int points = answerKey[size_t(n - 1)].points;
        score.possible += points;
        score.earned += marking.question(n).points;
        ++score.questions;
        const Outcome outcome = outcomeOf(n, marking.question(n));
        if (outcome != Outcome::Right)
            score.missed << n;
        if (outcome == Outcome::Unanswered) {
            score.blank << n;
            score.lostToBlank += points;
        } else if (outcome != Outcome::Right) {
            score.wrong << n;
            score.lostToWrong += points;
        }
    }
    scores.removeIf([](const TagScore &score) { return score.possible == 0; });
    // earned / possible compared without division: a/b < c/d when a*d < c*b.
    std::stable_sort(scores.begin(), scores.end(), [](const TagScore &a, const TagScore &b) {
        return a.earned * b.possible < b.earned * a.possible;
    });
    return scores;
}

double minutesByPoints(int section)
{
    return double(sectionPoints(section)) * Countdown::runMinutes / totalPoints();
}
