#include "documentzoom.h"

#include <QAbstractTextDocumentLayout>
#include <QHash>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

#include <algorithm>
#include <limits>

namespace {

// Whether a paragraph format has any length that the zoom scales.
bool hasLengths(const QTextBlockFormat &format)
{
    return format.hasProperty(QTextFormat::BlockLeftMargin) || format.hasProperty(QTextFormat::BlockRightMargin)
           || format.hasProperty(QTextFormat::TextIndent) || format.hasProperty(QTextFormat::BlockTopMargin)
           || format.hasProperty(QTextFormat::BlockBottomMargin) || !format.tabPositions().isEmpty();
}

// The place in formats of the document's format at documentIndex (the document
// keeps each distinct format once), appended the first time it is seen.
template <typename Format>
qsizetype placeOf(QList<Format> &formats, QHash<int, qsizetype> &places, int documentIndex, const Format &format)
{
    const auto found = places.constFind(documentIndex);
    if (found != places.cend())
        return *found;
    formats.append(format);
    places.insert(documentIndex, formats.size() - 1);
    return formats.size() - 1;
}

QTextBlockFormat scaledBlock(QTextBlockFormat format, qreal factor)
{
    if (format.hasProperty(QTextFormat::BlockLeftMargin))
        format.setLeftMargin(format.leftMargin() * factor);
    if (format.hasProperty(QTextFormat::BlockRightMargin))
        format.setRightMargin(format.rightMargin() * factor);
    if (format.hasProperty(QTextFormat::TextIndent))
        format.setTextIndent(format.textIndent() * factor);
    if (format.hasProperty(QTextFormat::BlockTopMargin))
        format.setTopMargin(format.topMargin() * factor);
    if (format.hasProperty(QTextFormat::BlockBottomMargin))
        format.setBottomMargin(format.bottomMargin() * factor);
    QList<QTextOption::Tab> tabs = format.tabPositions();
    if (!tabs.isEmpty()) {
        for (QTextOption::Tab &tab : tabs)
            tab.position *= factor;
        format.setTabPositions(tabs);
    }
    return format;
}

} // namespace

void DocumentZoom::scale(QTextDocument *document, qreal factor)
{
    m_scaling = false;
    if (!m_remembered) {
        if (qFuzzyCompare(factor, 1.0))
            return;
        remember(*document);
    }
    const bool own = qFuzzyCompare(factor, 1.0);

    // Without a page size the layout passes over every edit. Given its size back, it lays
    // the document out afresh as after loading it: what the view shows at once, the
    // rest a step at a time while the program is idle.
    m_prepared.insert(percentOf(factor));   // laid out at that zoom, in idle time if not now
    const QSizeF pageSize = document->pageSize();
    document->setPageSize(QSizeF(0, 0));
    scaleFormats(factor);
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    scaleParagraphs(document, 0, m_paragraphs.size());
    QTextOption option = document->defaultTextOption();
    option.setTabStopDistance(m_tabStopDistance * factor);
    document->setDefaultTextOption(option);
    cursor.endEditBlock();
    document->setPageSize(pageSize);

    if (own)
        forget();
}

void DocumentZoom::beginScale(QTextDocument *document, qreal factor, int from, int to)
{
    m_scaling = false;
    if (!m_remembered) {
        if (qFuzzyCompare(factor, 1.0))
            return;
        remember(*document);
    }
    m_prepared.insert(percentOf(factor));
    scaleFormats(factor);
    const auto paragraphAt = [this](int position) {
        const auto after = std::upper_bound(m_paragraphs.cbegin(), m_paragraphs.cend(), position,
                                            [](int at, const Paragraph &paragraph) { return at < paragraph.position; });
        return qMax<qsizetype>(0, (after - m_paragraphs.cbegin()) - 1);
    };
    m_scaledFirst = paragraphAt(from);
    m_scaledEnd = qMax(m_scaledFirst, paragraphAt(to)) + 1;
    m_scaling = true;
    scaleParagraphs(document, m_scaledFirst, m_scaledEnd);
    if (m_scaledFirst == 0 && m_scaledEnd == m_paragraphs.size())
        finishScaling(document);
}

bool DocumentZoom::scaleBelow(QTextDocument *document, int count)
{
    if (!m_scaling || m_scaledEnd >= m_paragraphs.size())
        return false;
    const qsizetype end = qMin(m_paragraphs.size(), m_scaledEnd + count);
    scaleParagraphs(document, m_scaledEnd, end);
    m_scaledEnd = end;
    if (m_scaledFirst == 0 && m_scaledEnd == m_paragraphs.size())
        finishScaling(document);
    return true;
}

bool DocumentZoom::scaleAbove(QTextDocument *document, int count)
{
    if (!m_scaling || m_scaledFirst <= 0)
        return false;
    const qsizetype first = qMax<qsizetype>(0, m_scaledFirst - count);
    scaleParagraphs(document, first, m_scaledFirst);
    m_scaledFirst = first;
    if (m_scaledFirst == 0 && m_scaledEnd == m_paragraphs.size())
        finishScaling(document);
    return true;
}

int DocumentZoom::unscaledBelow() const
{
    return m_scaling && m_scaledEnd < m_paragraphs.size() ? m_paragraphs[m_scaledEnd].position : -1;
}

// Each distinct format once a step; a paragraph format without lengths is the same at every zoom.
void DocumentZoom::scaleFormats(qreal factor)
{
    const bool own = qFuzzyCompare(factor, 1.0);
    m_factor = factor;
    m_scaledCharFormats = m_charFormats;
    if (!own) {
        for (QTextCharFormat &format : m_scaledCharFormats)
            format = scaled(format, factor);
    }
    m_scaledBlockFormats = m_blockFormats;
    m_blockFormatChanges.resize(m_blockFormats.size());
    for (qsizetype i = 0; i < m_scaledBlockFormats.size(); ++i) {
        m_blockFormatChanges[i] = hasLengths(m_scaledBlockFormats[i]);
        if (!own && m_blockFormatChanges[i])
            m_scaledBlockFormats[i] = scaledBlock(m_scaledBlockFormats[i], factor);
    }
}

// The paragraphs first..end (in m_paragraphs) and their runs at the formats of the zoom
// being applied, in one edit: Qt lays out those paragraphs anew and moves the others.
void DocumentZoom::scaleParagraphs(QTextDocument *document, qsizetype first, qsizetype end)
{
    if (first >= end)
        return;
    const int from = m_paragraphs[first].position;
    const int to = end < m_paragraphs.size() ? m_paragraphs[end].position : std::numeric_limits<int>::max();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    auto run = std::lower_bound(m_runs.cbegin(), m_runs.cend(), from,
                                [](const Run &run, int at) { return run.position < at; });
    for (; run != m_runs.cend() && run->position < to; ++run) {
        cursor.setPosition(run->position);
        cursor.setPosition(run->position + run->length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(m_scaledCharFormats[run->format]);
    }
    for (qsizetype i = first; i < end; ++i) {
        const Paragraph &paragraph = m_paragraphs[i];
        cursor.setPosition(paragraph.position);
        if (m_blockFormatChanges[paragraph.format])
            cursor.setBlockFormat(m_scaledBlockFormats[paragraph.format]);
        cursor.setBlockCharFormat(m_scaledCharFormats[paragraph.characterFormat]);
    }
    cursor.endEditBlock();
}

// Every paragraph is at the zoom. Qt lays the whole document out again for a new
// default tab stop, so it is changed only where a tab character uses it, and to
// leave the document exactly as it was at its own sizes.
void DocumentZoom::finishScaling(QTextDocument *document)
{
    m_scaling = false;
    const bool own = qFuzzyCompare(m_factor, 1.0);
    const qreal tabStopDistance = m_tabStopDistance * m_factor;
    if ((m_hasTabs || own) && document->defaultTextOption().tabStopDistance() != tabStopDistance) {
        QTextOption option = document->defaultTextOption();
        option.setTabStopDistance(tabStopDistance);
        document->setDefaultTextOption(option);
    }
    if (own)
        forget();
}

void DocumentZoom::forget()
{
    forgetFormats();
    m_prepared.clear();
}

void DocumentZoom::forgetFormats()
{
    m_remembered = false;
    m_scaling = false;
    m_runs.clear();
    m_paragraphs.clear();
    m_charFormats.clear();
    m_blockFormats.clear();
    m_charactersOfFormat.clear();
}

void DocumentZoom::prepare(const QTextDocument &document, qreal factor)
{
    if (isPrepared(factor))
        return;
    // A document at its own sizes is not remembered, so its text may still be rewritten.
    const bool remembered = m_remembered;
    if (!remembered)
        remember(document);
    if (m_charactersOfFormat.isEmpty()) {
        QList<QSet<char32_t>> seen(m_charFormats.size());
        m_charactersOfFormat.resize(m_charFormats.size());
        const QString text = document.toRawText();
        for (const Run &run : std::as_const(m_runs)) {
            for (char32_t character : QStringView(text).mid(run.position, run.length).toUcs4()) {
                // Objects are measured by their handlers, which a sample document lacks.
                if (character == QChar::ObjectReplacementCharacter || seen[run.format].contains(character))
                    continue;
                seen[run.format].insert(character);
                m_charactersOfFormat[run.format] += QString::fromUcs4(&character, 1);
            }
        }
    }

    // A sample document that shows the same fonts as the document would at that
    // zoom: every character once in each format, and an empty paragraph for formats
    // that only size empty paragraphs. Laying it out measures them.
    QTextDocument sample;
    sample.setUndoRedoEnabled(false);
    sample.setDefaultFont(document.defaultFont());
    sample.documentLayout()->setPaintDevice(document.documentLayout()->paintDevice());
    QTextCursor cursor(&sample);
    for (qsizetype i = 0; i < m_charFormats.size(); ++i) {
        const QTextCharFormat format = scaled(m_charFormats[i], factor);
        cursor.insertBlock(QTextBlockFormat(), format);
        cursor.insertText(m_charactersOfFormat[i], format);
    }
    sample.setTextWidth(document.textWidth());
    sample.size();
    m_prepared.insert(percentOf(factor));
    if (!remembered)
        forgetFormats();
}

void DocumentZoom::remember(const QTextDocument &document)
{
    QHash<int, qsizetype> charPlaces;
    QHash<int, qsizetype> blockPlaces;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        m_paragraphs.append({block.position(),
                             placeOf(m_blockFormats, blockPlaces, block.blockFormatIndex(), block.blockFormat()),
                             placeOf(m_charFormats, charPlaces, block.charFormatIndex(), block.charFormat())});
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            m_runs.append({fragment.position(), fragment.length(),
                           placeOf(m_charFormats, charPlaces, fragment.charFormatIndex(), fragment.charFormat())});
        }
    }
    const QFont font = document.defaultFont();
    m_defaultPointSize = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
    m_tabStopDistance = document.defaultTextOption().tabStopDistance();
    m_hasTabs = document.toRawText().contains(u'\t');
    m_remembered = true;
}

QTextCharFormat DocumentZoom::scaled(QTextCharFormat format, qreal factor) const
{
    if (format.hasProperty(QTextFormat::FontPixelSize)) {
        format.setProperty(QTextFormat::FontPixelSize,
                           qMax(1, qRound(format.intProperty(QTextFormat::FontPixelSize) * factor)));
    } else {
        const qreal own = format.hasProperty(QTextFormat::FontPointSize) ? format.fontPointSize()
                                                                        : m_defaultPointSize;
        // Without any font the default may have no size at all: such text keeps its own.
        if (own > 0)
            format.setFontPointSize(own * factor);
    }
    return format;
}
