#pragma once

#include "explanations.h"
#include "marking.h"

#include <QString>

class QTextDocument;

// The notice the review shows until the answer sheet has been marked.
QString reviewNotice();

// How the review writes a question's ticks: "④", "①④", or "無解答" for none.
QString ticksText(const QuestionMarking &question, int choices);

// Replaces the document with the notice.
void writeReviewNotice(QTextDocument *document);

// Replaces the document with the review of one marking: the total, a table of
// the sections' subtotals against their points, then for every question its
// caption, the ticks, the key's box, ○ or × with the points, and the explanation.
// Every size is set in points on the text itself, so zooming the viewer scales it.
void writeReview(QTextDocument *document, const Marking &marking, const Explanations &explanations);
