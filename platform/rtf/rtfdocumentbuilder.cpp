#include "rtfdocumentbuilder.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTextBlock>
#include <QTextDocument>

#include <utility>

namespace rtf::detail {

namespace {

constexpr int maxFontSize = 3276;       // 1638 pt, the largest size word processors offer
constexpr int maxFallbackCount = 64;
constexpr int maxTwips = 31680;         // 22 inches

bool switchedOn(std::optional<int> parameter) { return parameter.value_or(1) != 0; }

// Lengths past a page are mistakes; huge ones would wreck the layout.
int twips(int value) { return qBound(-maxTwips, value, maxTwips); }

} // namespace

DocumentBuilder::DocumentBuilder(QTextDocument *document)
    : m_document(document), m_cursor(document)
{
    m_states.emplace_back();
    if (qGuiApp && qGuiApp->primaryScreen())
        m_dotsPerInch = qGuiApp->primaryScreen()->logicalDotsPerInchY();
}

void DocumentBuilder::pushState()
{
    flushBytes();
    m_starPending = false;
    if (int(m_states.size()) > maxDepth) {
        ++m_overflowDepth;
        reportFault(Fault::TooDeep);
        return;
    }
    m_states.push_back(m_states.back());
}

void DocumentBuilder::popState()
{
    flushBytes();
    m_starPending = false;
    m_fallbackToSkip = 0;
    if (m_overflowDepth > 0) {
        --m_overflowDepth;
        return;
    }
    if (m_states.size() <= 1)
        return;
    const Destination closing = m_states.back().destination;
    m_states.pop_back();
    leaveDestination(closing);
}

void DocumentBuilder::leaveDestination(Destination closing)
{
    if (closing == Destination::FontTable) {
        m_fontTable.commitEntry();
        if (state().destination != Destination::FontTable)
            state().codePage = codePageOfFont(state().chars.font);
    } else if (closing == Destination::ColorTable && state().destination != Destination::ColorTable) {
        m_colourTable.finish();
    }
}

void DocumentBuilder::dispatchWord(QByteArrayView name, std::optional<int> parameter)
{
    if (skipFallbackToken())
        return;
    flushBytes();

    const WordInfo info = controlWord(name);
    if (std::exchange(m_starPending, false) && info.word != Word::Ud) {
        state().destination = Destination::Skip;
        return;
    }
    if (state().destination == Destination::Skip) {
        if (info.word == Word::Ud && state().resumeAt != Destination::Skip)
            state().destination = state().resumeAt;
        return;
    }
    obey(info, parameter);
}

void DocumentBuilder::dispatchSymbol(char symbol)
{
    if (skipFallbackToken())
        return;
    switch (symbol) {
    case '\\':
    case '{':
    case '}':
        // Literal bytes, perhaps the trail byte of a double-byte
        // character whose lead is already waiting: do not flush.
        if (state().destination != Destination::Skip)
            m_decoder.hold(symbol);
        return;
    default:
        break;
    }
    flushBytes();
    switch (symbol) {
    case '*':
        m_starPending = true;
        break;
    case '~':
        appendUnicode(u'\u00a0');
        break;
    case '_':
        appendUnicode(u'\u2011');
        break;
    case '\t':
        appendUnicode(u'\t');
        break;
    default:
        // \- (optional hyphen), \: and \| show nothing.
        break;
    }
}

void DocumentBuilder::dispatchHex(uchar byte)
{
    m_starPending = false;
    if (skipFallbackToken())
        return;
    if (state().destination != Destination::Skip)
        m_decoder.hold(char(byte));
}

void DocumentBuilder::dispatchText(QByteArrayView bytes)
{
    m_starPending = false;
    if (m_fallbackToSkip > 0) {
        const qsizetype skipped = qMin<qsizetype>(m_fallbackToSkip, bytes.size());
        m_fallbackToSkip -= int(skipped);
        bytes = bytes.sliced(skipped);
    }
    if (state().destination != Destination::Skip)
        m_decoder.hold(bytes);
}

void DocumentBuilder::reportFault(Fault fault)
{
    if (!m_faults.contains(fault))
        m_faults.append(fault);
}

bool DocumentBuilder::isLeadByte(uchar byte) const
{
    return CodePageDecoder::isLeadByte(state().codePage, byte);
}

void DocumentBuilder::finish()
{
    // A document cut between the two escapes of one character.
    if (m_decoder.dropUnfinishedCharacter(state().codePage))
        reportFault(Fault::Truncated);
    flushBytes();
    flushRun();
    endLastParagraph();

    QTextOption option = m_document->defaultTextOption();
    option.setTabStopDistance(pixels(m_defaultTabTwips));
    m_document->setDefaultTextOption(option);
}

// The characters after \uN that stand in for it in readers without Unicode.
bool DocumentBuilder::skipFallbackToken()
{
    if (m_fallbackToSkip <= 0)
        return false;
    --m_fallbackToSkip;
    return true;
}

void DocumentBuilder::obey(const WordInfo &info, std::optional<int> parameter)
{
    const int value = parameter.value_or(0);
    switch (info.word) {
    case Word::Ignored:
    case Word::Ud:
        break;
    case Word::Skip:
    case Word::FontTable:
    case Word::ColorTable:
    case Word::Upr:
        enterDestination(info.word);
        break;
    case Word::Ansi:
    case Word::AnsiCodePage:
    case Word::DefaultFont:
    case Word::DefaultTab:
        setDocumentDefault(info, value);
        break;
    case Word::CodePage:
    case Word::Font:
    case Word::FontCharset:
    case Word::FontKind:
        obeyFontWord(info, value);
        break;
    case Word::Red:
    case Word::Green:
    case Word::Blue:
        setColourComponent(info.word, value);
        break;
    case Word::Paragraph:
    case Word::Line:
    case Word::Tab:
    case Word::Cell:
        breakText(info.word);
        break;
    case Word::Plain:
    case Word::FontSize:
    case Word::Bold:
    case Word::Italic:
    case Word::StrikeOut:
    case Word::Hidden:
    case Word::Underline:
    case Word::UnderlineNone:
    case Word::Colour:
    case Word::Highlight:
    case Word::VerticalAlign:
        setCharacterFormat(info, parameter);
        break;
    case Word::Pard:
    case Word::Align:
    case Word::LeftIndent:
    case Word::RightIndent:
    case Word::FirstLineIndent:
    case Word::SpaceBefore:
    case Word::SpaceAfter:
    case Word::TabType:
    case Word::TabStop:
        setParagraphFormat(info, value);
        break;
    case Word::FallbackCount:
    case Word::Unicode:
    case Word::Character:
        obeyUnicodeWord(info, value);
        break;
    }
}

void DocumentBuilder::enterDestination(Word word)
{
    GroupState &s = state();
    switch (word) {
    case Word::FontTable:
        s.destination = Destination::FontTable;
        startFont(-1);
        break;
    case Word::ColorTable:
        s.destination = Destination::ColorTable;
        m_colourTable.clear();
        break;
    case Word::Upr:
        s.resumeAt = s.destination;
        s.destination = Destination::Skip;
        break;
    case Word::Skip:
    default:
        s.destination = Destination::Skip;
        break;
    }
}

void DocumentBuilder::setDocumentDefault(const WordInfo &info, int value)
{
    switch (info.word) {
    case Word::Ansi:
        setDocumentCodePage(info.value);
        break;
    case Word::AnsiCodePage:
        if (value > 0)
            setDocumentCodePage(value);
        break;
    case Word::DefaultFont:
        m_defaultFont = value;
        state().chars.font = value;
        break;
    case Word::DefaultTab:
        m_defaultTabTwips = value > 0 ? value : defaultTabTwips;
        break;
    default:
        break;
    }
}

// \f selects a font in the body and begins an entry in the font table; the
// other words describe that entry, and set the code page its name is written in.
void DocumentBuilder::obeyFontWord(const WordInfo &info, int value)
{
    GroupState &s = state();
    const bool inFontTable = s.destination == Destination::FontTable;
    switch (info.word) {
    case Word::CodePage:
        if (value > 0) {
            s.codePage = value;
            if (inFontTable)
                m_fontTable.setCodePage(value);
        }
        break;
    case Word::Font:
        if (inFontTable) {
            startFont(value);
        } else if (s.destination == Destination::Body) {
            s.chars.font = value;
            s.codePage = codePageOfFont(value);
        }
        break;
    case Word::FontCharset:
        if (inFontTable) {
            m_fontTable.setCharset(value);
            s.codePage = codePageForCharset(value, m_documentCodePage);
        }
        break;
    case Word::FontKind:
        if (inFontTable)
            m_fontTable.setKind(fonts::Kind(info.value));
        break;
    default:
        break;
    }
}

void DocumentBuilder::setColourComponent(Word word, int value)
{
    if (state().destination != Destination::ColorTable)
        return;
    if (word == Word::Red)
        m_colourTable.setRed(value);
    else if (word == Word::Green)
        m_colourTable.setGreen(value);
    else
        m_colourTable.setBlue(value);
}

void DocumentBuilder::breakText(Word word)
{
    if (state().destination != Destination::Body)
        return;
    switch (word) {
    case Word::Paragraph:
        paragraph();
        break;
    case Word::Line:
        appendText(QString(QChar::LineSeparator));
        break;
    case Word::Tab:
    case Word::Cell:
        appendText(QStringLiteral("\t"));
        break;
    default:
        break;
    }
}

void DocumentBuilder::setCharacterFormat(const WordInfo &info, std::optional<int> parameter)
{
    GroupState &s = state();
    CharProps &chars = s.chars;
    const int value = parameter.value_or(0);
    switch (info.word) {
    case Word::Plain:
        chars = CharProps();
        chars.font = m_defaultFont;
        if (s.destination == Destination::Body)
            s.codePage = codePageOfFont(m_defaultFont);
        break;
    case Word::FontSize:
        chars.halfPoints = value > 0 ? qMin(value, maxFontSize) : defaultFontSize;
        break;
    case Word::Bold:
        chars.bold = switchedOn(parameter);
        break;
    case Word::Italic:
        chars.italic = switchedOn(parameter);
        break;
    case Word::StrikeOut:
        chars.strikeOut = switchedOn(parameter);
        break;
    case Word::Hidden:
        chars.hidden = switchedOn(parameter);
        break;
    case Word::Underline:
        chars.underline = switchedOn(parameter) ? QTextCharFormat::UnderlineStyle(info.value)
                                                : QTextCharFormat::NoUnderline;
        break;
    case Word::UnderlineNone:
        chars.underline = QTextCharFormat::NoUnderline;
        break;
    case Word::Colour:
        chars.colour = value;
        break;
    case Word::Highlight:
        chars.highlight = value;
        break;
    case Word::VerticalAlign:
        chars.verticalAlignment = QTextCharFormat::VerticalAlignment(info.value);
        break;
    default:
        break;
    }
}

void DocumentBuilder::setParagraphFormat(const WordInfo &info, int value)
{
    ParaProps &para = state().para;
    switch (info.word) {
    case Word::Pard:
        para = ParaProps();
        break;
    case Word::Align:
        para.alignment = Qt::Alignment(info.value);
        break;
    case Word::LeftIndent:
        para.leftTwips = twips(value);
        break;
    case Word::RightIndent:
        para.rightTwips = twips(value);
        break;
    case Word::FirstLineIndent:
        para.firstLineTwips = twips(value);
        break;
    case Word::SpaceBefore:
        para.beforeTwips = twips(value);
        break;
    case Word::SpaceAfter:
        para.afterTwips = twips(value);
        break;
    case Word::TabType:
        para.nextTabType = QTextOption::TabType(info.value);
        break;
    case Word::TabStop:
        if (value > 0 && para.tabs.size() < 64) {
            para.tabs.append(QTextOption::Tab(pixels(twips(value)), para.nextTabType));
            para.nextTabType = QTextOption::LeftTab;
        }
        break;
    default:
        break;
    }
}

void DocumentBuilder::obeyUnicodeWord(const WordInfo &info, int value)
{
    GroupState &s = state();
    switch (info.word) {
    case Word::FallbackCount:
        s.fallbackCount = qBound(0, value, maxFallbackCount);
        break;
    case Word::Unicode: {
        // Parameters are signed 16-bit: characters above U+7FFF come negative.
        const qint64 code = value < 0 ? qint64(value) + 65536 : value;
        appendUnicode(code >= 0 && code <= 0xffff ? char16_t(code) : u'\ufffd');
        m_fallbackToSkip = s.fallbackCount;
        break;
    }
    case Word::Character:
        appendUnicode(char16_t(info.value));
        break;
    default:
        break;
    }
}

void DocumentBuilder::setDocumentCodePage(int codePage)
{
    m_documentCodePage = codePage;
    state().codePage = codePage;
}

int DocumentBuilder::codePageOfFont(int font) const
{
    return m_fontTable.codePageOf(font, m_documentCodePage);
}

void DocumentBuilder::startFont(int id)
{
    m_fontTable.startEntry(id);
    state().codePage = m_documentCodePage;
}

void DocumentBuilder::flushBytes()
{
    if (!m_decoder.hasPending())
        return;
    const QString text = m_decoder.take(state().codePage);
    switch (state().destination) {
    case Destination::Body:
        appendText(text);
        break;
    case Destination::FontTable:
        m_fontTable.addText(text);
        break;
    case Destination::ColorTable:
        m_colourTable.addText(text);
        break;
    case Destination::Skip:
        break;
    }
}

void DocumentBuilder::appendUnicode(char16_t character)
{
    if (state().destination == Destination::Body)
        appendText(QString(QChar(character)));
    else if (state().destination == Destination::FontTable)
        m_fontTable.addText(QString(QChar(character)));
}

void DocumentBuilder::appendText(const QString &text)
{
    const CharProps &chars = state().chars;
    if (chars.hidden || text.isEmpty())
        return;
    if (!m_run.isEmpty() && m_runProps != chars)
        flushRun();
    if (m_run.isEmpty())
        m_runProps = chars;
    m_run += text;
}

void DocumentBuilder::flushRun()
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
    m_run.clear();
    m_endsWithParagraph = false;
}

void DocumentBuilder::paragraph()
{
    flushRun();
    const QTextBlockFormat format = blockFormatFor(state().para);
    m_cursor.setBlockFormat(format);
    m_cursor.insertBlock(format, charFormatFor(state().chars));
    m_endsWithParagraph = true;
}

void DocumentBuilder::endLastParagraph()
{
    // The last \par ends the last paragraph rather than opening an empty one.
    if (m_endsWithParagraph && m_cursor.blockNumber() > 0 && m_cursor.block().length() == 1) {
        const QTextBlockFormat last = m_cursor.block().previous().blockFormat();
        m_cursor.deletePreviousChar();
        m_cursor.setBlockFormat(last);
    } else {
        m_cursor.setBlockFormat(blockFormatFor(state().para));
    }
}

QTextCharFormat DocumentBuilder::charFormatFor(const CharProps &props)
{
    if (m_formatCached && props == m_cachedProps)
        return m_cachedFormat;

    QTextCharFormat format;
    format.setFontFamilies({m_fontTable.familyOf(props.font, m_documentCodePage)});
    format.setFontPointSize(props.halfPoints / 2.0);
    format.setFontWeight(props.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(props.italic);
    format.setFontStrikeOut(props.strikeOut);
    format.setUnderlineStyle(props.underline);
    format.setVerticalAlignment(props.verticalAlignment);
    // Automatic colour is black: the viewer's page is always light.
    const QColor colour = m_colourTable.at(props.colour);
    format.setForeground(colour.isValid() ? colour : QColor(Qt::black));
    const QColor highlight = props.highlight > 0 ? m_colourTable.at(props.highlight) : QColor();
    if (highlight.isValid())
        format.setBackground(highlight);

    m_cachedProps = props;
    m_cachedFormat = format;
    m_formatCached = true;
    return format;
}

QTextBlockFormat DocumentBuilder::blockFormatFor(const ParaProps &props) const
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
