#pragma once

#include "marking.h"
#include "reviewreport.h"

#include <QString>
#include <QTextBlock>

class QTextDocument;

// The notice the review shows until the answer sheet has been marked.
QString reviewNotice();

// How the review writes a question's ticks: "④", "①④", or "無解答" for none.
QString ticksText(const QuestionMarking &question, int choices);

// The review of one marking in a document, written from its report. At the top the
// total, the diagnosis in words, the sections' subtotals against their points, the wrong
// and the blank questions (each a link to its entry), where the run's minutes went and
// the points by era and by theme, as bars with their figures beside them, and the study
// points. Then every question's entry. Every size is set in points on the text itself,
// so zooming the viewer scales it.
//
// The first marking writes the whole document. Every marking then rewrites only
// the paragraphs whose text or formats change, one at a time, so the viewer lays out
// just those again instead of the whole document with its 36 explanations.
class ReviewDocument
{
public:
    explicit ReviewDocument(QTextDocument *document);

    void show(const ReviewReport &report);

    // The question (1..36) that a link of the review points to; 0 for none.
    static int questionOfLink(const QString &href);
    // Where the entry of question n (1..36) starts.
    QTextBlock entryBlock(int question) const;

private:
    void writeAll(const ReviewReport &report);
    void writeSummary(QTextCursor *cursor);
    void writeEntries(QTextCursor *cursor, const ReviewReport &report);
    QTextBlock summaryBlock(int offset) const;

    QTextDocument *m_document = nullptr;
    // Block numbers, 0 until the first marking writes the document.
    int m_summaryBlock = 0;        // the diagnosis, followed by the rest of the top
    int m_firstQuestionBlock = 0;  // question 1's line
};
