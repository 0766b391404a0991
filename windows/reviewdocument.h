#pragma once

#include "bookletquotes.h"
#include "explanations.h"
#include "marking.h"
#include "runtiming.h"

#include <QString>
#include <QTextBlock>
#include <optional>

class QTextDocument;

// The notice the review shows until the answer sheet has been marked.
QString reviewNotice();

// How the review writes a question's ticks: "④", "①④", or "無解答" for none.
QString ticksText(const QuestionMarking &question, int choices);

// The review of one marking in a document. At the top the total, the sections'
// subtotals against their points, the questions to look at again (each a link to its
// entry), where the run's minutes went and the points by era and by theme, as bars
// with their figures beside them. Then for every question a line with its caption,
// the ticks, the key's box and ○ or × with the points; below it, in the booklet's own
// words, the chosen choices, the reason for no points and when the answer last
// changed; then the question and the key's choice, also in its words, and the explanation.
// Every size is set in points on the text itself, so zooming the viewer scales it.
//
// The first marking writes the whole document. Every marking then rewrites only
// the paragraphs whose text or formats change, one at a time, so the viewer lays out
// just those again instead of the whole document with its 36 explanations.
class ReviewDocument
{
public:
    ReviewDocument(QTextDocument *document, const Explanations &explanations, const BookletQuotes &quotes);

    // timing: the run that the marking ended; none when Score came without a Start.
    void show(const Marking &marking, const std::optional<RunTiming> &timing);

    // The question (1..36) that a link of the review points to; 0 for none.
    static int questionOfLink(const QString &href);
    // Where the entry of question n (1..36) starts.
    QTextBlock entryBlock(int question) const;

private:
    void writeAll();
    void writeTotal(const Marking &marking);
    void writeSections(const Marking &marking);
    void writeSummary(const Marking &marking);
    void writeTiming(const std::optional<RunTiming> &timing);
    void writeTagScores(const Marking &marking);
    void writeQuestion(int question, const QuestionMarking &marking, const std::optional<RunTiming> &timing);

    QTextDocument *m_document = nullptr;
    const Explanations &m_explanations;
    const BookletQuotes &m_quotes;
    // Block numbers, 0 until the first marking writes the document.
    int m_sectionsBlock = 0;       // the subtotals
    int m_summaryBlock = 0;        // followed by the timing, the scores by era and theme, and the study points
    int m_firstQuestionBlock = 0;  // question 1's line; two blocks a question
};
