#include "codepagedecoder.h"

#include <cerrno>
#include <cstring>

namespace rtf::detail {

namespace {

iconv_t invalid() { return iconv_t(-1); }

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
    for (const auto &entry : m_converters) {
        if (entry.second != invalid())
            iconv_close(entry.second);
    }
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
    return QString::fromUtf8(out.constData(), outPos - out.constData());
}

iconv_t CodePageDecoder::converterFor(int codePage)
{
    const auto found = m_converters.find(codePage);
    if (found != m_converters.end())
        return found->second;
    iconv_t converter = iconv_open("UTF-8", iconvName(codePage).constData());
    if (converter == invalid())
        converter = iconv_open("UTF-8", "CP1252");
    m_converters.emplace(codePage, converter);
    return converter;
}

} // namespace rtf::detail
