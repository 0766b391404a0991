#pragma once

#include "marking.h"
#include "reviewreport.h"

#include <QList>
#include <QString>
#include <QTextBlock>
#include <array>
#include <optional>

class QTextDocument;

// A run of text that links to a question's entry, from start up to end.
struct LinkSpan
{
    int start = 0;
    int end = 0;
};

// The links of a review in the order of the text; a link's text may be several fragments.
QList<LinkSpan> linksOf(const QTextDocument *document);

// The notice the review shows until the answer sheet has been marked.
QString reviewNotice();

// The review of one marking in a document, written from its report. At the top the
// total, the diagnosis in words, the sections' subtotals against their points, the wrong
// and the blank questions (each a link to its entry), where the run's minutes went and
// the points by era and by theme, as bars with their figures beside them, and the study
// points. Then every question's entry. Every size is set in points on the text itself,
// so zooming the viewer scales it.
//
// The first marking writes the whole document. Every marking then rewrites only
// the paragraphs whose text or formats change, one at a time, so the viewer lays out
// just those again instead of the whole document with its 36 explanations; and it may
// rewrite the entries in sight first and leave the rest for later calls.
class ReviewDocument
{
public:
    explicit ReviewDocument(QTextDocument *document);

    // Writes the top and every entry.
    void show(const ReviewReport &report);
    // Writes the top and the entries of the questions in first (1..36); the others wait
    // for writePending, unless this is the first marking, which writes them all.
    void show(const ReviewReport &report, const QList<int> &first);
    // Whether entries of the last marking still wait.
    bool hasPending() const { return !m_pending.isEmpty(); }
    // Writes up to count of the waiting entries, those after the first ones first.
    void writePending(int count);

    // The question (1..36) that a link of the review points to; 0 for none.
    static int questionOfLink(const QString &href);
    // Where the entry of question n (1..36) starts.
    QTextBlock entryBlock(int question) const;

private:
    void writeAll(const ReviewReport &report);
    void writeSummary(QTextCursor *cursor);
    void writeEntries(QTextCursor *cursor, const ReviewReport &report);
    void writeEntry(const QuestionReport &question);
    QTextBlock summaryBlock(int offset) const;

    QTextDocument *m_document = nullptr;
    // Block numbers, 0 until the first marking writes the document.
    int m_summaryBlock = 0;                        // the diagnosis, followed by the rest of the top
    std::array<int, questionCount> m_entryBlocks{}; // each question's line
    std::optional<ReviewReport> m_report;           // the last marking's, while entries wait
    QList<int> m_pending;                           // the questions whose entries wait
};
