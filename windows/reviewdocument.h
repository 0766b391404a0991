#pragma once

#include "explanations.h"
#include "marking.h"

#include <QString>

class QTextDocument;

// The notice the review shows until the answer sheet has been marked.
QString reviewNotice();

// How the review writes a question's ticks: "④", "①④", or "無解答" for none.
QString ticksText(const QuestionMarking &question, int choices);

// The review of one marking in a document: the total, the sections' subtotals
// against their points, then for every question a line with its caption,
// the ticks, the key's box and ○ or × with the points, and below it the explanation.
// Every size is set in points on the text itself, so zooming the viewer scales it.
//
// The first marking writes the whole document. Every marking then rewrites only
// the lines whose text changes, one line at a time, so the viewer lays out just
// those lines again instead of the whole document with its 36 explanations.
class ReviewDocument
{
public:
    ReviewDocument(QTextDocument *document, const Explanations &explanations);

    void show(const Marking &marking);

private:
    void writeAll();
    void writeTotal(const Marking &marking);
    void writeSections(const Marking &marking);
    void writeQuestion(int question, const QuestionMarking &marking);

    QTextDocument *m_document = nullptr;
    const Explanations &m_explanations;
    int m_firstQuestionBlock = 0; // block number of question 1's line, 0 until written; two blocks a question
};
