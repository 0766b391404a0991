#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QTextCharFormat>
#include <QTextObjectInterface>

class QTextDocument;

// Horizontal bars drawn inside a line of text: one object character that the
// document lays out like a word. Its size follows the font size of its own format,
// so the bars grow with the viewer's zoom and are drawn anew, sharp, on a printer.
// Each bar is a share of the full length; a light track shows the full length.
class BarChart : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    static constexpr int objectType = QTextFormat::UserObject + 1;
    // Full length of the bars, in ems of the object's font.
    static constexpr qreal lengthInEms = 14;

    struct Bar
    {
        qreal share = 0; // 0..1 of the full length
        QColor colour;
        bool continuesPrevious = false; // drawn on from the end of the bar before it, as one bar
    };

    // Lets the document's layout draw the bars; the handler belongs to the document.
    static void install(QTextDocument *document);

    // The format of an object character that draws the bars, one above the other
    // (a bar that continues the previous one adds a segment to it), sized by base's font.
    static QTextCharFormat format(const QList<Bar> &bars, const QTextCharFormat &base);

    QSizeF intrinsicSize(QTextDocument *document, int positionInDocument, const QTextFormat &format) override;
    void drawObject(QPainter *painter, const QRectF &rect, QTextDocument *document, int positionInDocument,
                    const QTextFormat &format) override;

private:
    using QObject::QObject;
};
