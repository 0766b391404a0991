#pragma once

#include "answerkey.h"
#include "bookletquotes.h"
#include "explanations.h"
#include "marking.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>

// What the review says about one question of a marking.
enum class Outcome { Right, Wrong, SeveralTicks, Unanswered };

Outcome outcomeOf(int question, const QuestionMarking &marking);

// Why a question earned nothing when that is not plain from its ticks:
// "複数解答のため0点" for two or more boxes, "無解答" for none; empty otherwise.
QString reasonFor(Outcome outcome);

// The lines that quote the student's answer to one question: every ticked choice
// ("あなたの解答 ①　ア―代銭納　イ―借上") and the reason for no points; for a right
// answer only its box ("あなたの解答 ②（正解）"), as the key's line quotes it.
QStringList answerLines(int question, const QuestionMarking &marking, const QuestionQuote &quote);

// The line that quotes the key's choice: "正解 ②　ア―代銭納　イ―為替".
QString keyLine(int question, const QuestionQuote &quote);

// The questions to look at again, in the booklet's order: wrong ones (two or more
// boxes included) and unanswered ones.
struct MistakeSummary
{
    QList<int> wrong;
    QList<int> unanswered;
};

MistakeSummary summarize(const Marking &marking);

// Points earned against points possible over the questions of one tag, and how the
// rest was lost: to wrong answers (two or more boxes included) or to blanks.
struct TagScore
{
    QString name;
    int earned = 0;
    int possible = 0;
    int questions = 0;
    int lostToWrong = 0;
    int lostToBlank = 0;
    QList<int> missed; // its questions that earned nothing, in the booklet's order
    QList<int> wrong;  // those answered wrongly
    QList<int> blank;  // those left unanswered

    // Below 60 % of its points: worth studying again.
    bool needsStudy() const { return earned * 10 < possible * 6; }
    // Too few questions to call the tag strong or weak.
    bool tooFewToRate() const { return questions < 3; }
    // A gap in knowledge: with enough questions to tell, wrong answers took its share of
    // the points of the questions answered below 60 %. Blanks are no sign of one.
    bool isKnowledgeGap() const
    {
        return !tooFewToRate() && !wrong.isEmpty() && earned * 10 < (possible - lostToBlank) * 6;
    }
};

// The points of every tag that tags a question, weakest share first (ties keep the
// names' order). tags holds each question's index into names, question n at n - 1.
QList<TagScore> scoresByTag(const Marking &marking, const std::array<int, questionCount> &tags,
                            const QStringList &names);

// The minutes of the 60 that a section would get by its share of the points:
// 17 points make 10.2 minutes.
double minutesByPoints(int section);
