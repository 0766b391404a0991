#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <iconv.h>
#include <vector>

namespace rtf::detail {

// Text bytes held back until the builder flushes them at the next control
// word or group boundary, then decoded together in the code page in force,
// so a double-byte character whose bytes arrive in separate \'hh escapes
// decodes as one character. Code pages go through iconv; the few converters
// used last stay open, so a document that switches among many code pages
// holds no more than a handful.
class CodePageDecoder
{
public:
    CodePageDecoder() = default;
    ~CodePageDecoder();
    Q_DISABLE_COPY(CodePageDecoder)

    static bool isDoubleByte(int codePage);
    static bool isLeadByte(int codePage, uchar byte);

    void hold(QByteArrayView bytes) { m_pending.append(bytes.data(), bytes.size()); }
    void hold(char byte) { m_pending.append(byte); }
    bool hasPending() const { return !m_pending.isEmpty(); }

    // Drops a lead byte still waiting for its trail byte; true if there was one.
    bool dropUnfinishedCharacter(int codePage);

    // Decodes the bytes held so far and forgets them.
    QString take(int codePage);

    // How many converters are open at the moment; never more than maxOpenConverters.
    qsizetype openConverters() const;
    static constexpr qsizetype maxOpenConverters = 4;

private:
    static bool endsInsideCharacter(int codePage, const QByteArray &bytes);
    QString decode(int codePage, const QByteArray &bytes);
    iconv_t converterFor(int codePage);
    iconv_t cachedConverter(const QByteArray &charset);

    struct Converter
    {
        QByteArray charset;
        iconv_t handle; // iconv_t(-1) for a charset iconv does not know
    };
    // Most recently used first. Unknown charsets are remembered too, so text in
    // one does not ask iconv again at every flush; they hold nothing open.
    std::vector<Converter> m_converters;
    QByteArray m_pending;
};

} // namespace rtf::detail
