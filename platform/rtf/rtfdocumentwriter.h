#pragma once

#include "rtfstate.h"

#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>

class QTextBlockFormat;
class QTextDocument;

namespace rtf::detail {

class Destinations;

// Writes the body's text into the document. Text in one character format is
// held as a run until the format changes or a paragraph ends, then cleaned of
// what a text document cannot show and inserted in one piece; the group's
// character and paragraph formats become Qt's formats on the way.
class DocumentWriter
{
public:
    DocumentWriter(QTextDocument *document, const Destinations &tables);
    Q_DISABLE_COPY(DocumentWriter)

    qreal pixels(int twips) const { return twips * m_dotsPerInch / 1440.0; }

    // Hidden text is dropped.
    void appendText(QStringView text, const CharProps &chars);
    void paragraph(const ParaProps &para, const CharProps &chars);
    // After the last token: writes the run still held and ends the last paragraph.
    void finish(const ParaProps &para, int defaultTabTwips);
    // Whether text was left out because the document already held maxPieces
    // paragraphs and runs.
    bool leftTextOut() const { return m_leftTextOut; }
    // Paragraphs ended so far.
    int paragraphs() const { return m_paragraphs; }

private:
    bool isFull();
    void flushRun();
    void endLastParagraph(const ParaProps &para);
    QTextCharFormat charFormatFor(const CharProps &props);
    QTextBlockFormat blockFormatFor(const ParaProps &props) const;

    QTextDocument *m_document = nullptr;
    const Destinations &m_tables;
    QTextCursor m_cursor;
    qreal m_dotsPerInch = 96;

    QString m_run;
    CharProps m_runProps;
    bool m_endsWithParagraph = false;
    int m_pieces = 0;
    int m_paragraphs = 0;
    bool m_leftTextOut = false;

    bool m_formatCached = false;
    CharProps m_cachedProps;
    QTextCharFormat m_cachedFormat;
};

} // namespace rtf::detail
