#include "rtfdocumentbuilder.h"

#include <utility>

namespace rtf::detail {

namespace {

constexpr int maxFontSize = 3276;       // 1638 pt, the largest size word processors offer
constexpr int maxFallbackCount = 64;
constexpr int maxTabStops = 64;
constexpr int maxTwips = 31680;         // 22 inches

bool switchedOn(std::optional<int> parameter) { return parameter.value_or(1) != 0; }

// Lengths past a page are mistakes; huge ones would wreck the layout.
int twips(int value) { return qBound(-maxTwips, value, maxTwips); }

int fontSize(int halfPoints) { return halfPoints > 0 ? qMin(halfPoints, maxFontSize) : defaultFontSize; }

} // namespace

DocumentBuilder::DocumentBuilder(QTextDocument *document)
    : m_writer(document, m_destinations)
{
    m_states.emplace_back();
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
    m_destinations.leave(closing, state());
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
    m_writer.finish(state().para, m_defaultTabTwips);
    if (m_writer.leftTextOut())
        reportFault(Fault::TooLong);
}

// The characters after \uN that stand in for it in readers without Unicode.
bool DocumentBuilder::skipFallbackToken()
{
    if (m_fallbackToSkip <= 0)
        return false;
    --m_fallbackToSkip;
    return true;
}

// One case per control word: what a word does is read here and nowhere else.
// The font and colour table words go to the destinations, which ignore them
// outside their own group.
void DocumentBuilder::obey(const WordInfo &info, std::optional<int> parameter)
{
    GroupState &s = state();
    CharProps &chars = s.chars;
    ParaProps &para = s.para;
    const int value = parameter.value_or(0);
    switch (info.word) {
    case Word::Ignored:
    case Word::Ud: break;
    case Word::Skip: Destinations::enterSkipped(s); break;
    case Word::FontTable: m_destinations.enterFontTable(s); break;
    case Word::ColorTable: m_destinations.enterColourTable(s); break;
    case Word::Upr: Destinations::enterUpr(s); break;
    case Word::Ansi: m_destinations.setDocumentCodePage(s, info.value); break;
    case Word::AnsiCodePage: m_destinations.setDocumentCodePage(s, value); break;
    case Word::DefaultFont: setDefaultFont(value); break;
    case Word::DefaultTab: m_defaultTabTwips = value > 0 ? value : defaultTabTwips; break;
    case Word::CodePage: m_destinations.setCodePage(s, value); break;
    case Word::Font: m_destinations.selectFont(s, value); break;
    case Word::FontCharset: m_destinations.setFontCharset(s, value); break;
    case Word::FontKind: m_destinations.setFontKind(s, fonts::Kind(info.value)); break;
    case Word::Red: m_destinations.setColourComponent(s, &ColourTable::setRed, value); break;
    case Word::Green: m_destinations.setColourComponent(s, &ColourTable::setGreen, value); break;
    case Word::Blue: m_destinations.setColourComponent(s, &ColourTable::setBlue, value); break;
    case Word::Paragraph: breakParagraph(); break;
    case Word::Line: breakText(QChar::LineSeparator); break;
    case Word::Tab:
    case Word::Cell: breakText(QLatin1Char('\t')); break;
    case Word::Plain: resetCharacterFormat(); break;
    case Word::FontSize: chars.halfPoints = fontSize(value); break;
    case Word::Bold: chars.bold = switchedOn(parameter); break;
    case Word::Italic: chars.italic = switchedOn(parameter); break;
    case Word::StrikeOut: chars.strikeOut = switchedOn(parameter); break;
    case Word::Hidden: chars.hidden = switchedOn(parameter); break;
    case Word::Underline:
        chars.underline = switchedOn(parameter) ? QTextCharFormat::UnderlineStyle(info.value)
                                                : QTextCharFormat::NoUnderline;
        break;
    case Word::UnderlineNone: chars.underline = QTextCharFormat::NoUnderline; break;
    case Word::Colour: chars.colour = value; break;
    case Word::Highlight: chars.highlight = value; break;
    case Word::VerticalAlign: chars.verticalAlignment = QTextCharFormat::VerticalAlignment(info.value); break;
    case Word::Pard: para = ParaProps(); break;
    case Word::Align: para.alignment = Qt::Alignment(info.value); break;
    case Word::LeftIndent: para.leftTwips = twips(value); break;
    case Word::RightIndent: para.rightTwips = twips(value); break;
    case Word::FirstLineIndent: para.firstLineTwips = twips(value); break;
    case Word::SpaceBefore: para.beforeTwips = twips(value); break;
    case Word::SpaceAfter: para.afterTwips = twips(value); break;
    case Word::TabType: para.nextTabType = QTextOption::TabType(info.value); break;
    case Word::TabStop: addTabStop(value); break;
    case Word::FallbackCount: s.fallbackCount = qBound(0, value, maxFallbackCount); break;
    case Word::Unicode: appendUnicodeEscape(value); break;
    case Word::Character: appendUnicode(char16_t(info.value)); break;
    }
}

void DocumentBuilder::setDefaultFont(int font)
{
    m_defaultFont = font;
    state().chars.font = font;
}

// \plain: the document's default character format, in its default font.
void DocumentBuilder::resetCharacterFormat()
{
    GroupState &s = state();
    s.chars = CharProps();
    s.chars.font = m_defaultFont;
    if (s.destination == Destination::Body)
        s.codePage = m_destinations.codePageOfFont(m_defaultFont);
}

void DocumentBuilder::addTabStop(int position)
{
    ParaProps &para = state().para;
    if (position <= 0 || para.tabs.size() >= maxTabStops)
        return;
    para.tabs.append(QTextOption::Tab(m_writer.pixels(twips(position)), para.nextTabType));
    para.nextTabType = QTextOption::LeftTab;
}

// \uN, then as many fallback tokens as \uc says are skipped.
void DocumentBuilder::appendUnicodeEscape(int value)
{
    // Parameters are signed 16-bit: characters above U+7FFF come negative.
    const qint64 code = value < 0 ? qint64(value) + 65536 : value;
    appendUnicode(code >= 0 && code <= 0xffff ? char16_t(code) : u'\ufffd');
    m_fallbackToSkip = state().fallbackCount;
}

void DocumentBuilder::breakParagraph()
{
    if (state().destination == Destination::Body)
        m_writer.paragraph(state().para, state().chars);
}

void DocumentBuilder::breakText(QChar character)
{
    if (state().destination == Destination::Body)
        m_writer.appendText(QStringView(&character, 1), state().chars);
}

void DocumentBuilder::flushBytes()
{
    if (m_decoder.hasPending())
        sendText(m_decoder.take(state().codePage));
}

void DocumentBuilder::appendUnicode(char16_t character)
{
    // The colour table reads only the semicolons written as plain text.
    if (state().destination != Destination::ColorTable)
        sendText(QStringView(&character, 1));
}

void DocumentBuilder::sendText(QStringView text)
{
    const GroupState &s = state();
    if (s.destination == Destination::Body)
        m_writer.appendText(text, s.chars);
    else
        m_destinations.addText(s.destination, text.toString());
}

} // namespace rtf::detail
