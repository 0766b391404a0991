#pragma once

#include "answerkey.h"
#include "bookletquotes.h"
#include "explanations.h"
#include "marking.h"
#include "reviewdata.h"
#include "runtiming.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// One choice of a question as the review lists it: its words in the booklet, whether
// it is the key's, whether the student ticked it, and why it is right or wrong.
struct ChoiceReport
{
    int box = 0;
    QString quote;
    bool right = false;
    bool ticked = false;
    QString reason;
};

// Everything the review says about one question.
struct QuestionReport
{
    int question = 0;
    QString caption;     // "1A-問2"
    Outcome outcome = Outcome::Unanswered;
    QString ticks;       // "④", "①④", or "無解答"
    int correctBox = 0;
    qint32 points = 0;   // earned
    int possible = 0;
    QString era;
    QString theme;
    QString keyword;     // what to look up: "執権政治（北条泰時・貞時）"
    QString studyPoint;  // what to remember, a sentence or two
    QStringList answerLines; // the student's answer in the booklet's words, and the reason for no points
    QString reason;          // "複数解答のため0点", "無解答", or empty
    QString lastChange;      // when the answer last changed: "開始から 23 分", "時間切れ後", or empty
    QStringList asked;       // the question and its statements, in the booklet's words
    QList<ChoiceReport> choices;
    QString keyLine;         // "正解 ②　ア―代銭納　イ―為替"
    QString explanation;
    bool restsOnFigure = false; // the question reads 図１
};

struct SectionReport
{
    qint32 earned = 0;
    int possible = 0;
    qint64 spentMs = 0;        // of the run; 0 when it was not timed
    double minutesByPoints = 0; // its share of the 60 minutes by its points
};

// The review of one marking, computed once: the window only writes it out.
struct ReviewReport
{
    qint32 total = 0;
    std::array<SectionReport, sectionCount> sections{};
    QList<int> wrong;  // answered wrongly (two or more boxes included), in the booklet's order
    QList<int> blank;  // left unanswered
    int lostToWrong = 0;
    int lostToBlank = 0;
    int lostToSeveralTicks = 0; // part of lostToWrong
    QList<TagScore> eras;   // weakest share first
    QList<TagScore> themes;
    QStringList diagnosis;  // two to four sentences on why the points went and what to do first
    bool timed = false;     // Start began the run, so its minutes were kept
    bool ranOutOfTime = false;
    qint64 runMs = 0;
    std::array<QuestionReport, questionCount> questions;

    // n: 1..36 / 1..6.
    const QuestionReport &question(int n) const { return questions[size_t(n - 1)]; }
    const SectionReport &section(int n) const { return sections[size_t(n - 1)]; }
};

// timing: the run the marking ended; none when Score came without a Start.
ReviewReport makeReviewReport(const Marking &marking, const std::optional<RunTiming> &timing,
                              const Explanations &explanations, const BookletQuotes &quotes);
