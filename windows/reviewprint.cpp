#include "reviewprint.h"

#include "windowlayout.h"

#include <QAbstractTextDocumentLayout>
#include <QLoggingCategory>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QtMath>

Q_LOGGING_CATEGORY(lcReviewPrint, "nihonshib.review.print")

namespace {

// White around the page's text at least, whatever the printer's own margins are.
constexpr qreal smallestMarginMillimetres = 15;
constexpr qreal headerPoints = 9;

// The parts of a printed page, in the printer's pixels.
struct PageParts
{
    QRectF header;
    QRectF body;
    QRectF footer;
};

PageParts pageParts(const QPagedPaintDevice &printer, const QFontMetricsF &metrics)
{
    const QMarginsF margins = printer.pageLayout().margins(QPageLayout::Millimeter);
    const auto extra = [](qreal margin) { return qMax<qreal>(0, smallestMarginMillimetres - margin) / 25.4; };
    const qreal dpiX = printer.logicalDpiX();
    const qreal dpiY = printer.logicalDpiY();
    const QRectF page = QRectF(0, 0, printer.width(), printer.height())
                            .adjusted(extra(margins.left()) * dpiX, extra(margins.top()) * dpiY,
                                      -extra(margins.right()) * dpiX, -extra(margins.bottom()) * dpiY);
    const qreal line = metrics.height();
    // The header and the footer are each a line, set off from the text by another.
    return {QRectF(page.left(), page.top(), page.width(), line),
            QRectF(page.left(), page.top() + 2 * line, page.width(), page.height() - 4 * line),
            QRectF(page.left(), page.bottom() - line, page.width(), line)};
}

// The document at the printer's resolution, its page the body of a printed page.
void layOutForPrinter(QTextDocument *review, QPagedPaintDevice *printer, const QSizeF &body)
{
    QTextFrameFormat frame = review->rootFrame()->frameFormat();
    frame.setMargin(0);
    review->rootFrame()->setFrameFormat(frame);
    review->documentLayout()->setPaintDevice(printer);
    review->setPageSize(body);
}

// Where the first line of first starts and where the last line of last ends.
QPair<qreal, qreal> textSpan(const QTextDocument *review, const QTextBlock &first, const QTextBlock &last)
{
    QAbstractTextDocumentLayout *layout = review->documentLayout();
    const QTextLayout *firstLines = first.layout();
    const QTextLayout *lastLines = last.layout();
    const qreal top = layout->blockBoundingRect(first).top()
                      + (firstLines->lineCount() > 0 ? firstLines->lineAt(0).y() : 0);
    const qreal bottom = layout->blockBoundingRect(last).top()
                         + (lastLines->lineCount() > 0 ? lastLines->lineAt(lastLines->lineCount() - 1).rect().bottom()
                                                       : 0);
    return {top, bottom};
}

// Each entry that would run over a page's end starts a page of its own, if it fits on
// one. In order, since each break moves everything after it.
void keepEntriesWhole(QTextDocument *review, const QList<int> &entryStarts)
{
    const qreal pageHeight = review->pageSize().height();
    for (int i = 0; i < entryStarts.size(); ++i) {
        const QTextBlock first = review->findBlockByNumber(entryStarts[i]);
        const QTextBlock last = i + 1 < entryStarts.size() ? review->findBlockByNumber(entryStarts[i + 1]).previous()
                                                           : review->lastBlock();
        if (!first.isValid() || !last.isValid() || last.blockNumber() < first.blockNumber())
            continue;
        const auto [top, bottom] = textSpan(review, first, last);
        const bool straddles = qFloor(top / pageHeight) != qFloor((bottom - 1) / pageHeight);
        if (!straddles || bottom - top > pageHeight)
            continue;
        QTextBlockFormat breakBefore;
        breakBefore.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(first).mergeBlockFormat(breakBefore);
        // Left to itself, Qt's paginated layout misplaces the text after a new break
        // (whole pages went missing): the rest is laid out anew.
        review->markContentsDirty(first.position(), review->characterCount() - first.position());
    }
}

void paintBody(QPainter &painter, QTextDocument *review, const QRectF &body, int index)
{
    painter.save();
    const qreal pageHeight = review->pageSize().height();
    painter.translate(body.left(), body.top() - index * pageHeight);
    const QRectF view(0, index * pageHeight, body.width(), pageHeight);
    painter.setClipRect(view);
    QAbstractTextDocumentLayout::PaintContext context;
    // A line that only touches the page's edge belongs to the page before or after:
    // drawn here, clipped, it would still be in a PDF's text twice.
    context.clip = view.adjusted(0, 1, 0, -1);
    // The page is white whatever the screen's colours are.
    context.palette.setColor(QPalette::Text, Qt::black);
    review->documentLayout()->draw(&painter, context);
    painter.restore();
}

void paintHeaderAndFooter(QPainter &painter, const PageParts &parts, const QStringList &header, int page, int pages)
{
    painter.drawText(parts.header, Qt::AlignLeft | Qt::AlignVCenter, header.value(0));
    painter.drawText(parts.header, Qt::AlignHCenter | Qt::AlignVCenter, header.value(1));
    painter.drawText(parts.header, Qt::AlignRight | Qt::AlignVCenter, header.value(2));
    const qreal rule = parts.header.bottom() + parts.header.height() / 3;
    painter.drawLine(QPointF(parts.header.left(), rule), QPointF(parts.header.right(), rule));
    painter.drawText(parts.footer, Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("%1 / %2").arg(page).arg(pages));
}

} // namespace

QStringList reviewPageHeaderTexts(const ReviewPageHeader &header)
{
    const QDate date = header.date;
    return {QStringLiteral("日本史B 解答・解説"),
            QStringLiteral("%1年%2月%3日").arg(date.year()).arg(date.month()).arg(date.day()),
            QStringLiteral("得点 %1点／100点").arg(header.score)};
}

void printReview(QTextDocument *review, const QList<int> &entryStarts, const ReviewPageHeader &header,
                 QPagedPaintDevice *printer)
{
    QPainter painter(printer);
    if (!painter.isActive()) {
        qCWarning(lcReviewPrint) << "the printer cannot be drawn on";
        return;
    }
    painter.setFont(gothicFont(headerPoints, false));
    QPen rule(Qt::black);
    rule.setWidthF(printer->logicalDpiY() / 144.0);   // half a point
    painter.setPen(rule);
    const PageParts parts = pageParts(*printer, QFontMetricsF(painter.font(), printer));
    layOutForPrinter(review, printer, parts.body.size());
    keepEntriesWhole(review, entryStarts);

    const QStringList headerTexts = reviewPageHeaderTexts(header);
    const int pages = review->pageCount();
    for (int index = 0; index < pages; ++index) {
        if (index > 0 && !printer->newPage()) {
            qCWarning(lcReviewPrint) << "the printer took no page after page" << index;
            return;
        }
        paintBody(painter, review, parts.body, index);
        paintHeaderAndFooter(painter, parts, headerTexts, index + 1, pages);
    }
}
