#pragma once

#include "reviewreport.h"
#include "reviewtext.h"

class QTextCursor;

// The review's parts, each as the runs of one paragraph written from the report.
namespace reviewsections {

using reviewtext::Run;

// At the top: "得点　72点／100点", the diagnosis, the sections' subtotals, the wrong and
// blank questions by section (each a link to its entry), the note on timing and its
// chart, the eras' and themes' charts and the study points.
QList<Run> total(const ReviewReport &report);
QList<Run> diagnosis(const ReviewReport &report);
QList<Run> sectionScores(const ReviewReport &report);
QList<Run> mistakes(const ReviewReport &report);
QList<Run> timingNote(const ReviewReport &report);
QList<Run> timingChart(const ReviewReport &report);
QList<Run> tagChart(const QString &title, const QList<TagScore> &scores);
QList<Run> studyPoints(const ReviewReport &report);

// A question's entry. The lines that change with the marking: its line with the ticks,
// the key and the points, its era and theme, the student's answer in the booklet's words
// and when it last changed; and each of its choices, ○ or × with its reason, marked when
// ticked. Those that never change: the question in the booklet's words (written with
// 図１ where it reads it) under which the choices follow, the key's choice, the
// explanation and the study point.
QList<Run> entryLine(const QuestionReport &question);
QList<Run> entryChoice(const ChoiceReport &choice);
void writeQuestionText(QTextCursor *cursor, const QuestionReport &question);
void writeExplanation(QTextCursor *cursor, const QuestionReport &question);

} // namespace reviewsections
