#include "barchart.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextDocument>

namespace {

enum Property {
    Shares = QTextFormat::UserProperty + 1,
    Colours,
    Continues,
};

const QColor trackColour(236, 236, 236);

qreal emOf(QTextDocument *document, const QTextFormat &format)
{
    const QFontMetricsF metrics(format.toCharFormat().font(), document->documentLayout()->paintDevice());
    return metrics.horizontalAdvance(QChar(0x3000));
}

} // namespace

void BarChart::install(QTextDocument *document)
{
    QAbstractTextDocumentLayout *layout = document->documentLayout();
    if (!layout->handlerForObject(objectType))
        layout->registerHandler(objectType, new BarChart(document));
}

QTextCharFormat BarChart::format(const QList<Bar> &bars, const QTextCharFormat &base)
{
    QTextCharFormat format = base;
    format.setObjectType(objectType);
    QList<qreal> shares;
    QList<QColor> colours;
    QList<bool> continues;
    for (const Bar &bar : bars) {
        shares << qBound<qreal>(0, bar.share, 1);
        colours << bar.colour;
        continues << bar.continuesPrevious;
    }
    format.setProperty(Shares, QVariant::fromValue(shares));
    format.setProperty(Colours, QVariant::fromValue(colours));
    format.setProperty(Continues, QVariant::fromValue(continues));
    return format;
}

QSizeF BarChart::intrinsicSize(QTextDocument *document, int, const QTextFormat &format)
{
    const qreal em = emOf(document, format);
    return {em * lengthInEms, em};
}

void BarChart::drawObject(QPainter *painter, const QRectF &rect, QTextDocument *, int, const QTextFormat &format)
{
    const QList<qreal> shares = format.property(Shares).value<QList<qreal>>();
    const QList<QColor> colours = format.property(Colours).value<QList<QColor>>();
    const QList<bool> continues = format.property(Continues).value<QList<bool>>();
    if (shares.isEmpty())
        return;
    const qsizetype rows = shares.size() - continues.count(true) + (continues.value(0) ? 1 : 0);
    // The bars share the line's height with a gap above, between and below them.
    const qreal gap = rect.height() * 0.1;
    const qreal barHeight = (rect.height() - gap * (rows + 1)) / rows;
    painter->save();
    painter->setPen(Qt::NoPen);
    int row = -1;
    qreal left = 0;
    for (qsizetype i = 0; i < shares.size(); ++i) {
        if (row < 0 || !continues.value(i)) {
            ++row;
            left = rect.left();
            painter->setBrush(trackColour);
            painter->drawRect(QRectF(rect.left(), rect.top() + gap + row * (barHeight + gap), rect.width(), barHeight));
        }
        const qreal top = rect.top() + gap + row * (barHeight + gap);
        const qreal width = qMin(rect.width() * shares[i], rect.right() - left);
        painter->setBrush(colours.value(i, Qt::darkGray));
        painter->drawRect(QRectF(left, top, width, barHeight));
        left += width;
    }
    painter->restore();
}
