#pragma once

#include "answerkey.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>

// The eras and the themes that tag the questions, in the order the review lists them.
const QStringList &eraNames();
const QStringList &themeNames();

// Why one choice of a question is right (the keyed one) or wrong, in a line.
struct ChoiceReason
{
    bool right = false;
    QString reason;
};

// The explanations of the 36 questions that the review shows after marking, the
// era and theme of history that each question asks about, what to study for it
// (a keyword and a sentence or two) and a reason for each of its choices.
struct Explanations
{
    std::array<QString, questionCount> texts;              // question n at n - 1; empty when missing
    std::array<int, questionCount> eras{};                 // index into eraNames()
    std::array<int, questionCount> themes{};               // index into themeNames()
    std::array<QString, questionCount> keywords;
    std::array<QString, questionCount> studyPoints;
    std::array<QList<ChoiceReason>, questionCount> choices; // choice k at k - 1
    QString error; // why the data could not be read; empty when it could

    // question: 1..36.
    const QString &of(int question) const { return texts[size_t(question - 1)]; }
};

// Reads the embedded explanations: UTF-8, one line a question,
// "n<TAB>era<TAB>theme<TAB>keyword<TAB>point<TAB>choice 1<TAB>...<TAB>choice k<TAB>text",
// n running from 1 to 36 in order, k the question's boxes in the answer key and each
// choice "○" for the keyed box or "×" for another, then its reason
// (tools/make_explanations.py writes them).
Explanations parseExplanations(const QByteArray &utf8);

// As above, from a file or a resource.
Explanations loadExplanations(const QString &path = QStringLiteral(":/documents/explanations.tsv"));
