#include "reviewreport.h"

#include "diagnosis.h"

namespace {

QString ticksOf(const QuestionMarking &marking, int choices)
{
    QString text;
    for (int box = 1; box <= choices; ++box) {
        if (marking.isTicked(box))
            text += circledDigit(box);
    }
    return text.isEmpty() ? QStringLiteral("無解答") : text;
}

QString lastChangeOf(int question, const std::optional<RunTiming> &timing)
{
    if (!timing || !timing->hasStarted() || timing->lastChangeMs(question) < 0)
        return {};
    if (timing->changedAfterTimeUp(question))
        return QStringLiteral("時間切れ後");
    return QStringLiteral("開始から %1 分").arg(timing->lastChangeMs(question) / 60000);
}

QuestionReport questionReport(int n, const QuestionMarking &marking, const std::optional<RunTiming> &timing,
                              const Explanations &explanations, const QuestionQuote &quote)
{
    const AnswerKeyRow &key = answerKey[size_t(n - 1)];
    const size_t at = size_t(n - 1);
    QuestionReport report;
    report.question = n;
    report.caption = answerPageCaption(n);
    report.outcome = outcomeOf(n, marking);
    report.ticks = ticksOf(marking, key.choices);
    report.correctBox = key.correctBox;
    report.points = marking.points;
    report.possible = key.points;
    if (explanations.error.isEmpty()) {
        report.era = eraNames().value(explanations.eras[at]);
        report.theme = themeNames().value(explanations.themes[at]);
    }
    report.keyword = explanations.keywords[at];
    report.studyPoint = explanations.studyPoints[at];
    report.answerLines = answerLines(n, marking, quote);
    report.reason = reasonFor(report.outcome);
    report.lastChange = lastChangeOf(n, timing);
    report.asked = QStringList{quote.instruction} + quote.statements;
    for (int box = 1; box <= key.choices; ++box) {
        const ChoiceReason reason = explanations.choices[at].value(box - 1);
        report.choices.append({box, quote.choices.value(box - 1), box == key.correctBox, marking.isTicked(box),
                               reason.reason});
    }
    report.keyLine = keyLine(n, quote);
    report.explanation = explanations.of(n);
    report.restsOnFigure = quote.instruction.contains(QStringLiteral("図１"));
    return report;
}

void addTiming(ReviewReport *report, const RunTiming &timing)
{
    report->timed = timing.hasStarted();
    if (!report->timed)
        return;
    report->runMs = timing.runMs();
    report->ranOutOfTime = timing.ranOutOfTime();
    const std::array<qint64, sectionCount> spent = timing.sectionTimes();
    for (int section = 1; section <= sectionCount; ++section)
        report->sections[size_t(section - 1)].spentMs = spent[size_t(section - 1)];
}

} // namespace

ReviewReport makeReviewReport(const Marking &marking, const std::optional<RunTiming> &timing,
                              const Explanations &explanations, const BookletQuotes &quotes)
{
    ReviewReport report;
    report.total = marking.total;
    for (int section = 1; section <= sectionCount; ++section) {
        SectionReport &row = report.sections[size_t(section - 1)];
        row.earned = marking.sectionScore(section);
        row.possible = sectionPoints(section);
        row.minutesByPoints = minutesByPoints(section);
    }
    for (int n = 1; n <= questionCount; ++n) {
        QuestionReport &question = report.questions[size_t(n - 1)];
        question = questionReport(n, marking.question(n), timing, explanations, quotes.of(n));
        if (question.outcome == Outcome::Unanswered) {
            report.blank << n;
            report.lostToBlank += question.possible;
        } else if (question.outcome != Outcome::Right) {
            report.wrong << n;
            report.lostToWrong += question.possible;
            if (question.outcome == Outcome::SeveralTicks)
                report.lostToSeveralTicks += question.possible;
        }
    }
    if (explanations.error.isEmpty()) {
        report.eras = scoresByTag(marking, explanations.eras, eraNames());
        report.themes = scoresByTag(marking, explanations.themes, themeNames());
    }
    if (timing)
        addTiming(&report, *timing);
    report.diagnosis = diagnose(report);
    return report;
}
