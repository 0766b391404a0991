#include "rtftokenizer.h"

#include <limits>

namespace rtf {

namespace {

bool isLetter(uchar c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(uchar c) { return c >= '0' && c <= '9'; }

int hexValue(uchar c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Bytes that end a run of text: everything else, including a tab, is text.
// CR and LF only wrap the source lines, and NUL is padding some writers leave.
bool endsText(uchar c) { return c == '{' || c == '}' || c == '\\' || c == '\r' || c == '\n' || c == '\0'; }

} // namespace

void Tokenizer::run(QByteArrayView input)
{
    start(input);
    resume();
}

void Tokenizer::start(QByteArrayView input)
{
    m_input = input;
    m_pos = 0;
    m_depth = 0;
}

bool Tokenizer::resume()
{
    while (!atEnd()) {
        if (!m_listener.wantsMore())
            return true;
        if (m_listener.wantsPause())
            return false;
        const uchar c = peek();
        if (c == '{') {
            ++m_pos;
            ++m_depth;
            m_listener.pushState();
        } else if (c == '}') {
            ++m_pos;
            if (m_depth == 0) {
                m_listener.reportFault(Fault::ExtraCloseBrace);
                continue;
            }
            --m_depth;
            m_listener.popState();
            if (m_depth == 0)
                break;
        } else if (c == '\\') {
            readControl();
        } else if (endsText(c)) {
            ++m_pos;
        } else {
            readText();
        }
    }

    if (m_depth > 0) {
        m_listener.reportFault(Fault::MissingCloseBrace);
        return true;
    }
    // Whitespace and padding may follow the document; a stray } may not.
    if (m_input.sliced(m_pos).contains('}'))
        m_listener.reportFault(Fault::ExtraCloseBrace);
    return true;
}

void Tokenizer::readControl()
{
    ++m_pos; // the backslash
    if (atEnd()) {
        m_listener.reportFault(Fault::Truncated);
        return;
    }
    if (!isLetter(peek())) {
        readControlSymbol();
        return;
    }

    const qsizetype nameStart = m_pos;
    while (!atEnd() && isLetter(peek()))
        ++m_pos;
    const QByteArrayView name = m_input.sliced(nameStart, m_pos - nameStart);
    const std::optional<int> parameter = readParameter();
    if (atEnd()) {
        // The word may be cut short ("\pa" of "\par"), so it is not obeyed.
        m_listener.reportFault(Fault::Truncated);
        return;
    }
    if (peek() == ' ')
        ++m_pos;

    m_listener.dispatchWord(name, parameter);
    if (name == "bin")
        skipBinary(parameter.value_or(0));
}

void Tokenizer::readControlSymbol()
{
    const uchar symbol = peek();
    ++m_pos;
    if (symbol == '\'') {
        readHexEscape();
    } else if (symbol == '\r' || symbol == '\n') {
        // A backslash ending a source line stands for \par.
        m_listener.dispatchWord("par", std::nullopt);
    } else {
        m_listener.dispatchSymbol(char(symbol));
    }
}

void Tokenizer::readHexEscape()
{
    int value = 0;
    for (int i = 0; i < 2; ++i) {
        if (atEnd()) {
            m_listener.reportFault(Fault::Truncated);
            return;
        }
        const int digit = hexValue(peek());
        if (digit < 0) {
            m_listener.reportFault(Fault::BadHexEscape);
            return;
        }
        value = value * 16 + digit;
        ++m_pos;
    }
    m_listener.dispatchHex(uchar(value));
}

std::optional<int> Tokenizer::readParameter()
{
    const bool negative = !atEnd() && peek() == '-' && m_pos + 1 < m_input.size()
                          && isDigit(uchar(m_input[m_pos + 1]));
    if (negative)
        ++m_pos;
    if (atEnd() || !isDigit(peek()))
        return std::nullopt;

    // Digits past the tenth are read but cannot change a clamped value, so
    // a 20-digit parameter costs nothing and never overflows.
    qint64 value = 0;
    bool outOfRange = false;
    while (!atEnd() && isDigit(peek())) {
        if (!outOfRange) {
            value = value * 10 + (peek() - '0');
            if (value > qint64(std::numeric_limits<int>::max()) + 1)
                outOfRange = true;
        }
        ++m_pos;
    }
    if (negative)
        value = -value;
    if (outOfRange || value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min()) {
        m_listener.reportFault(Fault::BadParameter);
        value = negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    return int(value);
}

// \binN: N bytes of binary data that are neither text nor tokens.
void Tokenizer::skipBinary(qint64 length)
{
    if (length < 0) {
        m_listener.reportFault(Fault::BadParameter);
        return;
    }
    const qint64 available = m_input.size() - m_pos;
    if (length > available) {
        m_listener.reportFault(Fault::Truncated);
        m_pos = m_input.size();
        return;
    }
    m_pos += length;
}

void Tokenizer::readText()
{
    const qsizetype start = m_pos;
    while (!atEnd()) {
        const uchar c = peek();
        if (endsText(c))
            break;
        ++m_pos;
        if (c >= 0x80 && m_listener.isLeadByte(c)) {
            if (atEnd()) {
                // Half a character: drop the lead byte rather than show junk.
                if (m_pos - 1 > start)
                    m_listener.dispatchText(m_input.sliced(start, m_pos - 1 - start));
                m_listener.reportFault(Fault::Truncated);
                return;
            }
            ++m_pos;
        }
    }
    m_listener.dispatchText(m_input.sliced(start, m_pos - start));
}

} // namespace rtf
