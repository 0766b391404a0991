#pragma once

#include "answerkey.h"

#include <QByteArray>
#include <QString>
#include <array>

// The explanations of the 36 questions that the review shows after marking.
struct Explanations
{
    std::array<QString, questionCount> texts; // question n at n - 1; empty when missing
    QString error;                            // why the data could not be read; empty when it could

    // question: 1..36.
    const QString &of(int question) const { return texts[size_t(question - 1)]; }
};

// Reads the embedded explanations: UTF-8, one line a question, "n<TAB>text",
// n running from 1 to 36 in order (tools/make_explanations.py writes them).
Explanations parseExplanations(const QByteArray &utf8);

// As above, from a file or a resource.
Explanations loadExplanations(const QString &path = QStringLiteral(":/documents/explanations.tsv"));
