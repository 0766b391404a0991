#include "codepagedecoder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace rtf::detail {

namespace {

iconv_t invalid() { return iconv_t(-1); }

// Text in a code page iconv cannot decode is read as Windows Latin 1.
const QByteArray fallbackCharset = QByteArrayLiteral("CP1252");

// Remembered unknown charsets, besides the open converters; small, so a
// document naming a new code page in every group stays cheap to read.
constexpr qsizetype maxRemembered = 16;

QByteArray iconvName(int codePage)
{
    switch (codePage) {
    // glibc's SHIFT_JIS lacks the vendor rows (①, Ⅰ, ㈱) and maps ～ elsewhere.
    case 932: return "CP932";
    case 936: return "GBK";
    case 949: return "CP949";
    case 950: return "BIG5";
    case 1361: return "JOHAB";
    case 10000: return "MACINTOSH";
    default: return "CP" + QByteArray::number(codePage);
    }
}

} // namespace

CodePageDecoder::~CodePageDecoder()
{
    for (const Converter &converter : m_converters) {
        if (converter.handle != invalid())
            iconv_close(converter.handle);
    }
}

qsizetype CodePageDecoder::openConverters() const
{
    return std::count_if(m_converters.begin(), m_converters.end(),
                         [](const Converter &converter) { return converter.handle != invalid(); });
}

bool CodePageDecoder::isDoubleByte(int codePage)
{
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 1361;
}

bool CodePageDecoder::isLeadByte(int codePage, uchar byte)
{
    if (codePage == 932)
        return (byte >= 0x81 && byte <= 0x9f) || (byte >= 0xe0 && byte <= 0xfc);
    if (isDoubleByte(codePage))
        return byte >= 0x81 && byte <= 0xfe;
    return false;
}

bool CodePageDecoder::endsInsideCharacter(int codePage, const QByteArray &bytes)
{
    if (!isDoubleByte(codePage))
        return false;
    qsizetype i = 0;
    while (i < bytes.size())
        i += isLeadByte(codePage, uchar(bytes[i])) ? 2 : 1;
    return i > bytes.size();
}

bool CodePageDecoder::dropUnfinishedCharacter(int codePage)
{
    if (!endsInsideCharacter(codePage, m_pending))
        return false;
    m_pending.chop(1);
    return true;
}

QString CodePageDecoder::take(int codePage)
{
    const QString text = decode(codePage, m_pending);
    m_pending.clear();
    return text;
}

// Bytes that do not decode become U+FFFD each, so one bad byte never
// swallows the text after it.
QString CodePageDecoder::decode(int codePage, const QByteArray &bytes)
{
    iconv_t converter = converterFor(codePage);
    if (converter == invalid())
        return QString::fromLatin1(bytes);

    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    QByteArray out(bytes.size() * 4 + 16, Qt::Uninitialized);
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char *outPos = out.data();
    size_t outLeft = size_t(out.size());
    static const char replacement[] = "\xef\xbf\xbd";

    while (inLeft > 0) {
        if (iconv(converter, &in, &inLeft, &outPos, &outLeft) != size_t(-1))
            continue;
        if (errno == E2BIG || outLeft < sizeof replacement) {
            const qsizetype used = outPos - out.data();
            out.resize(out.size() * 2);
            outPos = out.data() + used;
            outLeft = size_t(out.size() - used);
            if (errno == E2BIG)
                continue;
        }
        memcpy(outPos, replacement, 3);
        outPos += 3;
        outLeft -= 3;
        ++in;
        --inLeft;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
    // Vietnamese and Hebrew hold the last letter back for a combining mark that
    // may follow; the end of the bytes is the end of the text, so let it out.
    iconv(converter, nullptr, nullptr, &outPos, &outLeft);
    return QString::fromUtf8(out.constData(), outPos - out.constData());
}

iconv_t CodePageDecoder::converterFor(int codePage)
{
    iconv_t converter = cachedConverter(iconvName(codePage));
    if (converter == invalid())
        converter = cachedConverter(fallbackCharset);
    return converter;
}

// Moves the charset's entry to the front, opening a converter if it has none;
// the least recently used open converter is closed when too many are open.
iconv_t CodePageDecoder::cachedConverter(const QByteArray &charset)
{
    auto found = std::find_if(m_converters.begin(), m_converters.end(),
                              [&](const Converter &converter) { return converter.charset == charset; });
    if (found != m_converters.end()) {
        std::rotate(m_converters.begin(), found, found + 1);
        return m_converters.front().handle;
    }

    const iconv_t opened = iconv_open("UTF-8", charset.constData());
    const bool full = opened != invalid() ? openConverters() >= maxOpenConverters
                                          : qsizetype(m_converters.size()) - openConverters() >= maxRemembered;
    if (full) {
        // The last entry of the same kind is the least recently used one.
        const auto sameKind = std::find_if(m_converters.rbegin(), m_converters.rend(), [&](const Converter &c) {
            return (c.handle != invalid()) == (opened != invalid());
        });
        if (sameKind->handle != invalid())
            iconv_close(sameKind->handle);
        m_converters.erase(std::next(sameKind).base());
    }
    m_converters.insert(m_converters.begin(), Converter{charset, opened});
    return opened;
}

} // namespace rtf::detail
