#include "rtfdocumentwriter.h"

#include "rtfdestinations.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTextBlock>
#include <QTextDocument>

namespace rtf::detail {

DocumentWriter::DocumentWriter(QTextDocument *document, const Destinations &tables)
    : m_document(document), m_tables(tables), m_cursor(document)
{
    if (qGuiApp && qGuiApp->primaryScreen())
        m_dotsPerInch = qGuiApp->primaryScreen()->logicalDotsPerInchY();
}

void DocumentWriter::appendText(QStringView text, const CharProps &chars)
{
    if (chars.hidden || text.isEmpty())
        return;
    if (!m_run.isEmpty() && m_runProps != chars)
        flushRun();
    if (m_run.isEmpty()) {
        if (isFull())
            return;
        m_runProps = chars;
    }
    m_run += text;
}

void DocumentWriter::paragraph(const ParaProps &para, const CharProps &chars)
{
    flushRun();
    if (isFull())
        return;
    ++m_pieces;
    ++m_paragraphs;
    const QTextBlockFormat format = blockFormatFor(para);
    m_cursor.setBlockFormat(format);
    m_cursor.insertBlock(format, charFormatFor(chars));
    m_endsWithParagraph = true;
}

bool DocumentWriter::isFull()
{
    if (m_pieces < maxPieces)
        return false;
    m_leftTextOut = true;
    return true;
}

void DocumentWriter::finish(const ParaProps &para, int defaultTabTwips)
{
    flushRun();
    endLastParagraph(para);

    QTextOption option = m_document->defaultTextOption();
    option.setTabStopDistance(pixels(defaultTabTwips));
    m_document->setDefaultTextOption(option);
}

void DocumentWriter::flushRun()
{
    if (m_run.isEmpty())
        return;
    // Control characters from hex escapes would make new blocks or show
    // as boxes; a surrogate without its partner cannot be shown either.
    for (qsizetype i = 0; i < m_run.size(); ++i) {
        const QChar c = m_run.at(i);
        if (c.isHighSurrogate() && i + 1 < m_run.size() && m_run.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            m_run[i] = QChar::ReplacementCharacter;
        } else if ((c.unicode() < 0x20 && c != QLatin1Char('\t')) || c == QChar::ParagraphSeparator
                   || c == QChar::ObjectReplacementCharacter || c == QChar(0xfdd0) || c == QChar(0xfdd1)) {
            m_run[i] = QLatin1Char(' ');
        }
    }
    m_cursor.insertText(m_run, charFormatFor(m_runProps));
    ++m_pieces;
    m_run.clear();
    m_endsWithParagraph = false;
}

void DocumentWriter::endLastParagraph(const ParaProps &para)
{
    // The last \par ends the last paragraph rather than opening an empty one.
    if (m_endsWithParagraph && m_cursor.blockNumber() > 0 && m_cursor.block().length() == 1) {
        const QTextBlockFormat last = m_cursor.block().previous().blockFormat();
        m_cursor.deletePreviousChar();
        m_cursor.setBlockFormat(last);
    } else {
        m_cursor.setBlockFormat(blockFormatFor(para));
    }
}

QTextCharFormat DocumentWriter::charFormatFor(const CharProps &props)
{
    if (m_formatCached && props == m_cachedProps)
        return m_cachedFormat;

    QTextCharFormat format;
    format.setFontFamilies({m_tables.familyOf(props.font)});
    format.setFontPointSize(props.halfPoints / 2.0);
    format.setFontWeight(props.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(props.italic);
    format.setFontStrikeOut(props.strikeOut);
    format.setUnderlineStyle(props.underline);
    format.setVerticalAlignment(props.verticalAlignment);
    // Automatic colour is black: the viewer's page is always light.
    const QColor colour = m_tables.colourAt(props.colour);
    format.setForeground(colour.isValid() ? colour : QColor(Qt::black));
    const QColor highlight = props.highlight > 0 ? m_tables.colourAt(props.highlight) : QColor();
    if (highlight.isValid())
        format.setBackground(highlight);

    m_cachedProps = props;
    m_cachedFormat = format;
    m_formatCached = true;
    return format;
}

QTextBlockFormat DocumentWriter::blockFormatFor(const ParaProps &props) const
{
    QTextBlockFormat format;
    format.setAlignment(props.alignment);
    format.setLeftMargin(pixels(props.leftTwips));
    format.setRightMargin(pixels(props.rightTwips));
    format.setTextIndent(pixels(props.firstLineTwips));
    format.setTopMargin(pixels(props.beforeTwips));
    format.setBottomMargin(pixels(props.afterTwips));
    if (!props.tabs.isEmpty())
        format.setTabPositions(props.tabs);
    return format;
}

} // namespace rtf::detail
