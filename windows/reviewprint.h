#pragma once

#include <QDate>
#include <QList>
#include <QString>

class QPagedPaintDevice;
class QTextDocument;

// What the top of every printed page of the review says besides its title.
struct ReviewPageHeader
{
    QDate date;
    int score = 0;
};

// The header's three parts: the title, the date ("2026年12月8日") and the score.
QStringList reviewPageHeaderTexts(const ReviewPageHeader &header);

// Prints the review like a book: under a header on every page, above "n / N", and
// no question's entry split across two pages where it fits on one. review is a copy
// for printing alone: it is laid out anew for the printer, with page breaks added.
// entryStarts: the block where each question's entry starts, in order; an entry runs
// up to the next one, the last to the document's end.
void printReview(QTextDocument *review, const QList<int> &entryStarts, const ReviewPageHeader &header,
                 QPagedPaintDevice *printer);
