#pragma once

#include "answerkey.h"

#include <QString>
#include <QStringList>
#include <array>

// A question's own words as the booklet prints them.
struct QuestionQuote
{
    QString instruction;   // the question's line: "問２　空欄【　ア　】・【　イ　】に入る語句の…一つ選べ。"
    QStringList statements; // the statements it rests on, each with its mark: "Ｘ　…", "Ⅰ　…"; often none
    QStringList choices;    // choice k at k - 1, without its circled digit: "ア―代銭納　イ―借上"
};

struct BookletQuotes
{
    std::array<QuestionQuote, questionCount> questions;
    QString error; // what in the booklet did not fit the answer key; empty when all 36 were found

    // question: 1..36.
    const QuestionQuote &of(int question) const { return questions[size_t(question - 1)]; }
};

// Finds the 36 questions in the booklet's plain text (one paragraph a line, as the
// booklet's viewer holds it). A section opens with "第n問"; a question with its number,
// "問１", and an ideographic space. Its statement lines follow, each opening with its mark
// (Ｘ Ｙ, Ⅰ Ⅱ Ⅲ) and an ideographic space, then the lines of its choices, each opening
// with a circled digit and several choices to a line, set apart by ideographic spaces.
// The spaces that line the choices up in columns are not part of a choice's text:
// a run of them inside a choice is quoted as one.
BookletQuotes quoteBooklet(const QString &bookletText);

// n when the booklet's line is the heading of section n ("第1問　…", "第２問　…"), else 0.
int sectionOfHeading(QStringView line);
