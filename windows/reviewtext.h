#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>

class QTextBlock;
class QTextDocument;

// The review's text: its formats, sized in points on the text itself so that
// zooming the viewer scales them, and the rewriting of one paragraph at a time.
namespace reviewtext {

inline const QColor wrongLineBackground(255, 224, 224);
inline const QColor wrongMarkColour(204, 0, 0);
inline const QColor headerBackground(232, 232, 232);
inline const QColor linkColour(0, 0, 238);
inline const QColor quoteColour(64, 64, 64);
inline const QColor spentBarColour(0, 90, 170);
inline const QColor shareBarColour(150, 150, 150);
inline const QColor strongBarColour(0, 120, 60);
inline const QColor unratedBarColour(90, 110, 140);
inline const QColor blankBarColour(185, 185, 185);

inline constexpr QChar lineSeparator(QChar::LineSeparator);

QTextCharFormat textFormat(qreal points, bool bold = false, const QColor &colour = Qt::black,
                           const QColor &background = QColor());
// A link to question n's entry.
QTextCharFormat linkFormat(int question, qreal points = 10);
// Left tab stops at stops, then one far right, so a tinted line's tint reaches across the page.
QTextBlockFormat lineFormat(const QList<qreal> &stops, qreal topMargin);

// "3／17"
QString outOf(qint32 earned, int possible);
// "10.2分"
QString minutes(qint64 ms);

// One run of text in its format.
struct Run
{
    QString text;
    QTextCharFormat format;
};

// Replaces the text of a block with the runs, unless it already reads the same, as one
// edit of one block's text that the viewer lays out on its own: block formats stay as
// first written, since changing those would make it lay out the whole document again.
void replaceBlock(QTextDocument *document, const QTextBlock &block, const QList<Run> &runs);

} // namespace reviewtext
