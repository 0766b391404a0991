#include "rtfreader.h"

#include "fontmap.h"
#include "rtftokenizer.h"

#include <QColor>
#include <QGuiApplication>
#include <QHash>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

namespace rtf {

namespace {

// Deeper groups are still tokenized but share the state of the deepest one
// followed, so hostile nesting costs no memory.
constexpr int maxDepth = 256;
constexpr int defaultFontSize = 24;     // half-points, as \fs counts
constexpr int maxFontSize = 3276;       // 1638 pt, the largest size word processors offer
constexpr int defaultTabTwips = 720;
constexpr int maxFallbackCount = 64;
constexpr int maxTwips = 31680;         // 22 inches

// Code pages by iconv, kept open for the whole read.
class Decoder
{
public:
    Decoder() = default;
    ~Decoder()
    {
        for (const auto &entry : m_converters) {
            if (entry.second != invalid())
                iconv_close(entry.second);
        }
    }
    Q_DISABLE_COPY(Decoder)

    static bool isDoubleByte(int codePage)
    {
        return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 1361;
    }

    static bool isLeadByte(int codePage, uchar byte)
    {
        if (codePage == 932)
            return (byte >= 0x81 && byte <= 0x9f) || (byte >= 0xe0 && byte <= 0xfc);
        if (isDoubleByte(codePage))
            return byte >= 0x81 && byte <= 0xfe;
        return false;
    }

    static bool endsInsideCharacter(int codePage, const QByteArray &bytes)
    {
        if (!isDoubleByte(codePage))
            return false;
        qsizetype i = 0;
        while (i < bytes.size())
            i += isLeadByte(codePage, uchar(bytes[i])) ? 2 : 1;
        return i > bytes.size();
    }

    // Bytes that do not decode become U+FFFD each, so one bad byte never
    // swallows the text after it.
    QString decode(int codePage, const QByteArray &bytes)
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

private:
    static iconv_t invalid() { return iconv_t(-1); }

    static QByteArray iconvName(int codePage)
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

    iconv_t converterFor(int codePage)
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

    std::map<int, iconv_t> m_converters;
};

enum class Destination {
    Body,
    FontTable,
    ColorTable,
    Skip,
};

struct CharProps {
    int font = 0;   // documents without \deff use their first font
    int halfPoints = defaultFontSize;
    bool bold = false;
    bool italic = false;
    bool strikeOut = false;
    bool hidden = false;
    QTextCharFormat::UnderlineStyle underline = QTextCharFormat::NoUnderline;
    QTextCharFormat::VerticalAlignment verticalAlignment = QTextCharFormat::AlignNormal;
    int colour = 0;
    int highlight = 0;

    auto tied() const
    {
        return std::tie(font, halfPoints, bold, italic, strikeOut, hidden, underline, verticalAlignment,
                        colour, highlight);
    }
    bool operator==(const CharProps &other) const { return tied() == other.tied(); }
    bool operator!=(const CharProps &other) const { return !(*this == other); }
};

struct ParaProps {
    Qt::Alignment alignment = Qt::AlignLeft;
    int leftTwips = 0;
    int rightTwips = 0;
    int firstLineTwips = 0;
    int beforeTwips = 0;
    int afterTwips = 0;
    QList<QTextOption::Tab> tabs;
    QTextOption::TabType nextTabType = QTextOption::LeftTab;
};

// Everything a } restores.
struct GroupState {
    Destination destination = Destination::Body;
    Destination resumeAt = Destination::Body;   // where \ud inside \upr reads on
    int fallbackCount = 1;                      // \uc
    int codePage = 1252;
    CharProps chars;
    ParaProps para;
};

struct FontEntry {
    QString name;
    int charset = -1;
    int codePage = 0;
    fonts::Kind kind = fonts::Kind::Unknown;
    QString family;
};

enum class Word {
    Ignored,
    Skip,               // a destination whose contents the viewer never shows
    FontTable,
    ColorTable,
    Upr,
    Ud,
    Ansi,
    AnsiCodePage,
    CodePage,
    DefaultFont,
    DefaultTab,
    Font,
    FontCharset,
    FontKind,
    Red,
    Green,
    Blue,
    Paragraph,
    Line,
    Tab,
    Cell,
    Pard,
    Plain,
    FontSize,
    Bold,
    Italic,
    StrikeOut,
    Hidden,
    Underline,
    UnderlineNone,
    Colour,
    Highlight,
    VerticalAlign,
    Align,
    LeftIndent,
    RightIndent,
    FirstLineIndent,
    SpaceBefore,
    SpaceAfter,
    TabType,
    TabStop,
    FallbackCount,
    Unicode,
    Character,
};

struct WordInfo {
    Word word = Word::Ignored;
    int value = 0;
};

const QHash<QByteArray, WordInfo> &wordTable()
{
    static const QHash<QByteArray, WordInfo> table = [] {
        QHash<QByteArray, WordInfo> t;
        for (const char *name : {
                 "info", "stylesheet", "pict", "header", "headerl", "headerr", "headerf", "footer",
                 "footerl", "footerr", "footerf", "footnote", "annotation", "atnid", "atnauthor",
                 "atndate", "atnref", "object", "objdata", "fldinst", "xe", "tc", "txe", "rxe",
                 "filetbl", "revtbl", "listtable", "listoverridetable", "pn", "pntxta", "pntxtb",
                 "nonshppict", "shp", "shpinst", "shprslt", "do", "template", "ftnsep", "ftnsepc",
                 "ftncn", "aftnsep", "aftnsepc", "aftncn", "private", "falt", "panose", "fname",
                 "bkmkstart", "bkmkend", "datafield", "ffname", "formfield", "comment", "author",
                 "operator", "title", "subject", "keywords", "doccomm", "rsidtbl", "xmlnstbl",
                 "generator", "themedata", "colorschememapping", "datastore", "latentstyles",
                 "mmathPr", "pgdsctbl", "listpicture", "fchars", "lchars", "userprops", "docvar",
                 "blipuid", "protusertbl", "passwordhash", "wgrffmtfilter", "result", "nesttableprops",
                 "nonesttables", "background", "pgptbl", "defchp", "defpap", "ftnalt", "picprop",
             })
            t.insert(name, {Word::Skip, 0});

        t.insert("fonttbl", {Word::FontTable, 0});
        t.insert("colortbl", {Word::ColorTable, 0});
        t.insert("upr", {Word::Upr, 0});
        t.insert("ud", {Word::Ud, 0});

        t.insert("ansi", {Word::Ansi, 1252});
        t.insert("mac", {Word::Ansi, 10000});
        t.insert("pc", {Word::Ansi, 437});
        t.insert("pca", {Word::Ansi, 850});
        t.insert("ansicpg", {Word::AnsiCodePage, 0});
        t.insert("cpg", {Word::CodePage, 0});
        t.insert("deff", {Word::DefaultFont, 0});
        t.insert("deftab", {Word::DefaultTab, 0});

        t.insert("f", {Word::Font, 0});
        t.insert("fcharset", {Word::FontCharset, 0});
        t.insert("froman", {Word::FontKind, int(fonts::Kind::Serif)});
        t.insert("fswiss", {Word::FontKind, int(fonts::Kind::Sans)});
        t.insert("fmodern", {Word::FontKind, int(fonts::Kind::Monospace)});
        t.insert("red", {Word::Red, 0});
        t.insert("green", {Word::Green, 0});
        t.insert("blue", {Word::Blue, 0});

        t.insert("par", {Word::Paragraph, 0});
        t.insert("page", {Word::Paragraph, 0});
        t.insert("sect", {Word::Paragraph, 0});
        t.insert("row", {Word::Paragraph, 0});
        t.insert("line", {Word::Line, 0});
        t.insert("tab", {Word::Tab, 0});
        t.insert("cell", {Word::Cell, 0});
        t.insert("nestcell", {Word::Cell, 0});

        t.insert("pard", {Word::Pard, 0});
        t.insert("plain", {Word::Plain, 0});
        t.insert("fs", {Word::FontSize, 0});
        t.insert("b", {Word::Bold, 0});
        t.insert("i", {Word::Italic, 0});
        t.insert("strike", {Word::StrikeOut, 0});
        t.insert("striked", {Word::StrikeOut, 0});
        t.insert("v", {Word::Hidden, 0});

        using Style = QTextCharFormat::UnderlineStyle;
        const std::pair<const char *, Style> underlines[] = {
            {"ul", QTextCharFormat::SingleUnderline}, {"ulw", QTextCharFormat::SingleUnderline},
            {"uldb", QTextCharFormat::SingleUnderline}, {"ulth", QTextCharFormat::SingleUnderline},
            {"uld", QTextCharFormat::DotLine}, {"ulthd", QTextCharFormat::DotLine},
            {"uldash", QTextCharFormat::DashUnderline}, {"ulthdash", QTextCharFormat::DashUnderline},
            {"ulldash", QTextCharFormat::DashUnderline}, {"ulthldash", QTextCharFormat::DashUnderline},
            {"uldashd", QTextCharFormat::DashDotLine}, {"ulthdashd", QTextCharFormat::DashDotLine},
            {"uldashdd", QTextCharFormat::DashDotDotLine}, {"ulthdashdd", QTextCharFormat::DashDotDotLine},
            {"ulwave", QTextCharFormat::WaveUnderline}, {"ulhwave", QTextCharFormat::WaveUnderline},
            {"ululdbwave", QTextCharFormat::WaveUnderline},
        };
        for (const auto &[name, style] : underlines)
            t.insert(name, {Word::Underline, int(style)});
        t.insert("ulnone", {Word::UnderlineNone, 0});

        t.insert("cf", {Word::Colour, 0});
        t.insert("highlight", {Word::Highlight, 0});
        t.insert("cb", {Word::Highlight, 0});
        t.insert("chcbpat", {Word::Highlight, 0});
        t.insert("super", {Word::VerticalAlign, int(QTextCharFormat::AlignSuperScript)});
        t.insert("sub", {Word::VerticalAlign, int(QTextCharFormat::AlignSubScript)});
        t.insert("nosupersub", {Word::VerticalAlign, int(QTextCharFormat::AlignNormal)});

        t.insert("ql", {Word::Align, int(Qt::AlignLeft)});
        t.insert("qc", {Word::Align, int(Qt::AlignHCenter)});
        t.insert("qr", {Word::Align, int(Qt::AlignRight)});
        t.insert("qj", {Word::Align, int(Qt::AlignJustify)});
        t.insert("li", {Word::LeftIndent, 0});
        t.insert("ri", {Word::RightIndent, 0});
        t.insert("fi", {Word::FirstLineIndent, 0});
        t.insert("sb", {Word::SpaceBefore, 0});
        t.insert("sa", {Word::SpaceAfter, 0});
        t.insert("tqr", {Word::TabType, int(QTextOption::RightTab)});
        t.insert("tqc", {Word::TabType, int(QTextOption::CenterTab)});
        t.insert("tqdec", {Word::TabType, int(QTextOption::DelimiterTab)});
        t.insert("tx", {Word::TabStop, 0});

        t.insert("uc", {Word::FallbackCount, 0});
        t.insert("u", {Word::Unicode, 0});

        const std::pair<const char *, char16_t> characters[] = {
            {"emdash", u'\u2014'}, {"endash", u'\u2013'}, {"bullet", u'\u2022'},
            {"lquote", u'\u2018'}, {"rquote", u'\u2019'}, {"ldblquote", u'\u201c'},
            {"rdblquote", u'\u201d'}, {"emspace", u'\u2003'}, {"enspace", u'\u2002'},
            {"qmspace", u'\u2005'}, {"zwj", u'\u200d'}, {"zwnj", u'\u200c'},
            {"ltrmark", u'\u200e'}, {"rtlmark", u'\u200f'},
        };
        for (const auto &[name, character] : characters)
            t.insert(name, {Word::Character, int(character)});
        return t;
    }();
    return table;
}

int codePageForCharset(int charset, int documentCodePage)
{
    switch (charset) {
    // ANSI and "default" mean the document's own ANSI code page, which is what
    // \ansicpg names; Japanese writers tag their Latin fonts so.
    case 0:
    case 1: return documentCodePage;
    case 2: return 1252;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return documentCodePage;
    }
}

bool switchedOn(std::optional<int> parameter) { return parameter.value_or(1) != 0; }

// Lengths past a page are mistakes; huge ones would wreck the layout.
int twips(int value) { return qBound(-maxTwips, value, maxTwips); }

// Turns tokens into document text and formats.
class DocumentBuilder : public Listener
{
public:
    explicit DocumentBuilder(QTextDocument *document)
        : m_document(document), m_cursor(document)
    {
        m_states.emplace_back();
        if (qGuiApp && qGuiApp->primaryScreen())
            m_dotsPerInch = qGuiApp->primaryScreen()->logicalDotsPerInchY();
    }
    Q_DISABLE_COPY(DocumentBuilder)

    void pushState() override
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

    void popState() override
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
        if (closing == Destination::FontTable) {
            commitFont();
            if (state().destination != Destination::FontTable)
                state().codePage = codePageOfFont(state().chars.font);
        } else if (closing == Destination::ColorTable && state().destination != Destination::ColorTable) {
            // Some writers leave out the ; after the last colour.
            if (m_colourHasComponent)
                commitColour();
        }
    }

    void dispatchWord(QByteArrayView name, std::optional<int> parameter) override
    {
        if (m_fallbackToSkip > 0) {
            --m_fallbackToSkip;
            return;
        }
        flushBytes();

        const auto found = wordTable().constFind(QByteArray::fromRawData(name.data(), name.size()));
        const WordInfo info = found == wordTable().constEnd() ? WordInfo{} : *found;

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

    void dispatchSymbol(char symbol) override
    {
        if (m_fallbackToSkip > 0) {
            --m_fallbackToSkip;
            return;
        }
        switch (symbol) {
        case '\\':
        case '{':
        case '}':
            // Literal bytes, perhaps the trail byte of a double-byte
            // character whose lead is already waiting: do not flush.
            if (state().destination != Destination::Skip)
                m_pendingBytes.append(symbol);
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

    void dispatchHex(uchar byte) override
    {
        m_starPending = false;
        if (m_fallbackToSkip > 0) {
            --m_fallbackToSkip;
            return;
        }
        if (state().destination != Destination::Skip)
            m_pendingBytes.append(char(byte));
    }

    void dispatchText(QByteArrayView bytes) override
    {
        m_starPending = false;
        if (m_fallbackToSkip > 0) {
            const qsizetype skipped = qMin<qsizetype>(m_fallbackToSkip, bytes.size());
            m_fallbackToSkip -= int(skipped);
            bytes = bytes.sliced(skipped);
        }
        if (state().destination != Destination::Skip)
            m_pendingBytes.append(bytes.data(), bytes.size());
    }

    void reportFault(Fault fault) override
    {
        if (!m_faults.contains(fault))
            m_faults.append(fault);
    }

    bool isLeadByte(uchar byte) const override { return Decoder::isLeadByte(state().codePage, byte); }

    void finish()
    {
        // A document cut between the two escapes of one character.
        if (Decoder::endsInsideCharacter(state().codePage, m_pendingBytes)) {
            m_pendingBytes.chop(1);
            reportFault(Fault::Truncated);
        }
        flushBytes();
        flushRun();
        // The last \par ends the last paragraph rather than opening an empty one.
        if (m_endsWithParagraph && m_cursor.blockNumber() > 0 && m_cursor.block().length() == 1) {
            const QTextBlockFormat last = m_cursor.block().previous().blockFormat();
            m_cursor.deletePreviousChar();
            m_cursor.setBlockFormat(last);
        } else {
            m_cursor.setBlockFormat(blockFormatFor(state().para));
        }

        QTextOption option = m_document->defaultTextOption();
        option.setTabStopDistance(pixels(m_defaultTabTwips));
        m_document->setDefaultTextOption(option);
    }

    const QList<Fault> &faults() const { return m_faults; }

private:
    GroupState &state() { return m_states.back(); }
    const GroupState &state() const { return m_states.back(); }

    qreal pixels(int twips) const { return twips * m_dotsPerInch / 1440.0; }

    void obey(const WordInfo &info, std::optional<int> parameter)
    {
        GroupState &s = state();
        const int value = parameter.value_or(0);
        const bool inFontTable = s.destination == Destination::FontTable;
        const bool inBody = s.destination == Destination::Body;

        switch (info.word) {
        case Word::Ignored:
            break;
        case Word::Skip:
            s.destination = Destination::Skip;
            break;
        case Word::FontTable:
            s.destination = Destination::FontTable;
            startFont(-1);
            break;
        case Word::ColorTable:
            s.destination = Destination::ColorTable;
            m_colours.clear();
            m_colourHasComponent = false;
            break;
        case Word::Upr:
            s.resumeAt = s.destination;
            s.destination = Destination::Skip;
            break;
        case Word::Ud:
            break;
        case Word::Ansi:
            setDocumentCodePage(info.value);
            break;
        case Word::AnsiCodePage:
            if (value > 0)
                setDocumentCodePage(value);
            break;
        case Word::CodePage:
            if (value > 0) {
                s.codePage = value;
                if (inFontTable)
                    m_font.codePage = value;
            }
            break;
        case Word::DefaultFont:
            m_defaultFont = value;
            s.chars.font = value;
            break;
        case Word::DefaultTab:
            m_defaultTabTwips = value > 0 ? value : defaultTabTwips;
            break;
        case Word::Font:
            if (inFontTable) {
                startFont(value);
            } else if (inBody) {
                s.chars.font = value;
                s.codePage = codePageOfFont(value);
            }
            break;
        case Word::FontCharset:
            if (inFontTable) {
                m_font.charset = value;
                s.codePage = codePageForCharset(value, m_documentCodePage);
            }
            break;
        case Word::FontKind:
            if (inFontTable)
                m_font.kind = fonts::Kind(info.value);
            break;
        case Word::Red:
        case Word::Green:
        case Word::Blue:
            if (s.destination == Destination::ColorTable) {
                const int component = qBound(0, value, 255);
                if (info.word == Word::Red)
                    m_colour.setRed(component);
                else if (info.word == Word::Green)
                    m_colour.setGreen(component);
                else
                    m_colour.setBlue(component);
                m_colourHasComponent = true;
            }
            break;
        case Word::Paragraph:
            if (inBody)
                paragraph();
            break;
        case Word::Line:
            if (inBody)
                appendText(QString(QChar::LineSeparator));
            break;
        case Word::Tab:
        case Word::Cell:
            if (inBody)
                appendText(QStringLiteral("\t"));
            break;
        case Word::Pard:
            s.para = ParaProps();
            break;
        case Word::Plain:
            s.chars = CharProps();
            s.chars.font = m_defaultFont;
            if (inBody)
                s.codePage = codePageOfFont(m_defaultFont);
            break;
        case Word::FontSize:
            s.chars.halfPoints = value > 0 ? qMin(value, maxFontSize) : defaultFontSize;
            break;
        case Word::Bold:
            s.chars.bold = switchedOn(parameter);
            break;
        case Word::Italic:
            s.chars.italic = switchedOn(parameter);
            break;
        case Word::StrikeOut:
            s.chars.strikeOut = switchedOn(parameter);
            break;
        case Word::Hidden:
            s.chars.hidden = switchedOn(parameter);
            break;
        case Word::Underline:
            s.chars.underline = switchedOn(parameter) ? QTextCharFormat::UnderlineStyle(info.value)
                                                      : QTextCharFormat::NoUnderline;
            break;
        case Word::UnderlineNone:
            s.chars.underline = QTextCharFormat::NoUnderline;
            break;
        case Word::Colour:
            s.chars.colour = value;
            break;
        case Word::Highlight:
            s.chars.highlight = value;
            break;
        case Word::VerticalAlign:
            s.chars.verticalAlignment = QTextCharFormat::VerticalAlignment(info.value);
            break;
        case Word::Align:
            s.para.alignment = Qt::Alignment(info.value);
            break;
        case Word::LeftIndent:
            s.para.leftTwips = twips(value);
            break;
        case Word::RightIndent:
            s.para.rightTwips = twips(value);
            break;
        case Word::FirstLineIndent:
            s.para.firstLineTwips = twips(value);
            break;
        case Word::SpaceBefore:
            s.para.beforeTwips = twips(value);
            break;
        case Word::SpaceAfter:
            s.para.afterTwips = twips(value);
            break;
        case Word::TabType:
            s.para.nextTabType = QTextOption::TabType(info.value);
            break;
        case Word::TabStop:
            if (value > 0 && s.para.tabs.size() < 64) {
                s.para.tabs.append(QTextOption::Tab(pixels(twips(value)), s.para.nextTabType));
                s.para.nextTabType = QTextOption::LeftTab;
            }
            break;
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
        }
    }

    void setDocumentCodePage(int codePage)
    {
        m_documentCodePage = codePage;
        state().codePage = codePage;
    }

    int codePageOfFont(int font) const
    {
        const auto entry = m_fonts.constFind(font);
        if (entry == m_fonts.constEnd())
            return m_documentCodePage;
        if (entry->codePage > 0)
            return entry->codePage;
        return codePageForCharset(entry->charset, m_documentCodePage);
    }

    void startFont(int id)
    {
        commitFont();
        m_fontId = id;
        m_font = FontEntry();
        state().codePage = m_documentCodePage;
    }

    void commitFont()
    {
        if (m_fontId >= 0) {
            m_font.name = m_font.name.trimmed();
            fonts::Kind kind = m_font.kind;
            if (m_font.charset == 128)
                kind = kind == fonts::Kind::Serif ? fonts::Kind::JapaneseMincho : fonts::Kind::JapaneseGothic;
            m_font.family = fonts::familyFor(m_font.name, kind);
            m_fonts.insert(m_fontId, m_font);
        }
        m_fontId = -1;
        m_font = FontEntry();
    }

    void fontTableText(const QString &text)
    {
        qsizetype start = 0;
        for (;;) {
            const qsizetype semicolon = text.indexOf(QLatin1Char(';'), start);
            if (semicolon < 0) {
                if (m_font.name.size() < 256)
                    m_font.name += QStringView(text).sliced(start).left(256);
                return;
            }
            m_font.name += QStringView(text).sliced(start, semicolon - start).left(256);
            commitFont();
            start = semicolon + 1;
        }
    }

    void commitColour()
    {
        m_colours.push_back(m_colourHasComponent ? m_colour : QColor());
        m_colour = QColor(0, 0, 0);
        m_colourHasComponent = false;
    }

    void colourTableText(const QString &text)
    {
        for (const QChar c : text) {
            if (c == QLatin1Char(';') && m_colours.size() < 4096)
                commitColour();
        }
    }

    void flushBytes()
    {
        if (m_pendingBytes.isEmpty())
            return;
        const QString text = m_decoder.decode(state().codePage, m_pendingBytes);
        m_pendingBytes.clear();
        switch (state().destination) {
        case Destination::Body:
            appendText(text);
            break;
        case Destination::FontTable:
            fontTableText(text);
            break;
        case Destination::ColorTable:
            colourTableText(text);
            break;
        case Destination::Skip:
            break;
        }
    }

    void appendUnicode(char16_t character)
    {
        if (state().destination == Destination::Body)
            appendText(QString(QChar(character)));
        else if (state().destination == Destination::FontTable)
            fontTableText(QString(QChar(character)));
    }

    void appendText(const QString &text)
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

    void flushRun()
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

    void paragraph()
    {
        flushRun();
        const QTextBlockFormat format = blockFormatFor(state().para);
        m_cursor.setBlockFormat(format);
        m_cursor.insertBlock(format, charFormatFor(state().chars));
        m_endsWithParagraph = true;
    }

    QString familyOf(int font)
    {
        const auto entry = m_fonts.constFind(font);
        if (entry != m_fonts.constEnd() && !entry->family.isEmpty())
            return entry->family;
        // No font table entry: the faces a word processor falls back on.
        return fonts::familyFor(QString(), m_documentCodePage == 932 ? fonts::Kind::JapaneseMincho
                                                                     : fonts::Kind::Serif);
    }

    QColor colourAt(int index) const
    {
        if (index >= 0 && size_t(index) < m_colours.size())
            return m_colours[size_t(index)];
        return QColor();
    }

    QTextCharFormat charFormatFor(const CharProps &props)
    {
        if (m_formatCached && props == m_cachedProps)
            return m_cachedFormat;

        QTextCharFormat format;
        format.setFontFamilies({familyOf(props.font)});
        format.setFontPointSize(props.halfPoints / 2.0);
        format.setFontWeight(props.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(props.italic);
        format.setFontStrikeOut(props.strikeOut);
        format.setUnderlineStyle(props.underline);
        format.setVerticalAlignment(props.verticalAlignment);
        // Automatic colour is black: the viewer's page is always light.
        const QColor colour = colourAt(props.colour);
        format.setForeground(colour.isValid() ? colour : QColor(Qt::black));
        const QColor highlight = props.highlight > 0 ? colourAt(props.highlight) : QColor();
        if (highlight.isValid())
            format.setBackground(highlight);

        m_cachedProps = props;
        m_cachedFormat = format;
        m_formatCached = true;
        return format;
    }

    QTextBlockFormat blockFormatFor(const ParaProps &props) const
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

    QTextDocument *m_document = nullptr;
    QTextCursor m_cursor;
    std::vector<GroupState> m_states;
    int m_overflowDepth = 0;
    QList<Fault> m_faults;
    Decoder m_decoder;
    qreal m_dotsPerInch = 96;

    QByteArray m_pendingBytes;
    QString m_run;
    CharProps m_runProps;
    bool m_starPending = false;
    int m_fallbackToSkip = 0;
    bool m_endsWithParagraph = false;

    int m_documentCodePage = 1252;
    int m_defaultFont = 0;
    int m_defaultTabTwips = defaultTabTwips;

    QHash<int, FontEntry> m_fonts;
    int m_fontId = -1;
    FontEntry m_font;

    std::vector<QColor> m_colours;
    QColor m_colour = QColor(0, 0, 0);
    bool m_colourHasComponent = false;

    bool m_formatCached = false;
    CharProps m_cachedProps;
    QTextCharFormat m_cachedFormat;
};

qsizetype rtfStart(const QByteArray &bytes)
{
    qsizetype pos = 0;
    if (bytes.startsWith("\xef\xbb\xbf"))
        pos = 3;
    while (pos < bytes.size() && (bytes[pos] == ' ' || bytes[pos] == '\t' || bytes[pos] == '\r'
                                  || bytes[pos] == '\n'))
        ++pos;
    return QByteArrayView(bytes).sliced(pos).startsWith("{\\rtf") ? pos : -1;
}

} // namespace

ReadResult read(const QByteArray &bytes, QTextDocument *document)
{
    ReadResult result;
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    document->clear();

    const qsizetype start = rtfStart(bytes);
    if (start < 0) {
        result.faults = {Fault::NotRtf};
        result.message = describe(Fault::NotRtf);
        document->setUndoRedoEnabled(undo);
        return result;
    }

    DocumentBuilder builder(document);
    {
        QTextCursor batch(document);
        batch.beginEditBlock();
        Tokenizer tokenizer(builder);
        tokenizer.run(QByteArrayView(bytes).sliced(start));
        builder.finish();
        batch.endEditBlock();
    }
    document->setUndoRedoEnabled(undo);

    result.isRtf = true;
    result.faults = builder.faults();
    if (!result.faults.isEmpty())
        result.message = describe(result.faults.first());
    return result;
}

QString describe(Fault fault)
{
    switch (fault) {
    case Fault::NotRtf:
        return QStringLiteral("This is not an RTF document: it does not begin with {\\rtf.");
    case Fault::MissingCloseBrace:
        return QStringLiteral("The document ends inside an open group: a closing brace is missing.");
    case Fault::ExtraCloseBrace:
        return QStringLiteral("The document has a closing brace with no group open.");
    case Fault::Truncated:
        return QStringLiteral("The document is cut off inside an escape, a control word or a double-byte character.");
    case Fault::TooDeep:
        return QStringLiteral("The document nests groups deeper than %1 levels; the deeper ones were read flat.")
            .arg(maxDepth);
    case Fault::BadParameter:
        return QStringLiteral("The document has a numeric parameter out of range.");
    case Fault::BadHexEscape:
        return QStringLiteral("The document has a \\' escape without two hex digits.");
    case Fault::Unreadable:
        return QStringLiteral("The document could not be read.");
    }
    return QString();
}

QString plainText(const QTextDocument *document)
{
    QStringList paragraphs;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        paragraphs.append(block.text().replace(QChar::LineSeparator, QLatin1Char('\n')));
    return paragraphs.join(QLatin1Char('\n'));
}

QString markedRuns(const QTextDocument *document)
{
    QString out;
    const auto emitRun = [&out](const QString &text, bool red, bool underlined) {
        if (text.isEmpty() || (!red && !underlined))
            return;
        QString escaped;
        for (const QChar c : text) {
            if (c == QLatin1Char('\\'))
                escaped += QLatin1String("\\\\");
            else if (c == QLatin1Char('\t'))
                escaped += QLatin1String("\\t");
            else if (c == QChar::LineSeparator)
                escaped += QLatin1String("\\n");
            else
                escaped += c;
        }
        out += escaped + QLatin1Char('\t') + QLatin1String(red ? "yes" : "no") + QLatin1Char('\t')
               + QLatin1String(underlined ? "yes" : "no") + QLatin1Char('\n');
    };

    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        QString run;
        bool runRed = false;
        bool runUnderlined = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            const QBrush foreground = format.foreground();
            const bool red = foreground.style() != Qt::NoBrush && foreground.color().isValid()
                             && foreground.color().rgb() == qRgb(255, 0, 0);
            const bool underlined = format.underlineStyle() != QTextCharFormat::NoUnderline
                                    || format.fontUnderline();
            if (!run.isEmpty() && (red != runRed || underlined != runUnderlined)) {
                emitRun(run, runRed, runUnderlined);
                run.clear();
            }
            runRed = red;
            runUnderlined = underlined;
            run += fragment.text();
        }
        emitRun(run, runRed, runUnderlined);
    }
    return out;
}

} // namespace rtf
