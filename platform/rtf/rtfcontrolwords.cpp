#include "rtfcontrolwords.h"

#include "fontmap.h"

#include <QTextCharFormat>
#include <QTextOption>

#include <string_view>
#include <unordered_map>

namespace rtf::detail {

namespace {

struct Entry {
    const char *name;
    Word word;
    int value = 0;
};

// Destinations whose contents the viewer never shows.
constexpr const char *skippedDestinations[] = {
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
};

// The document's code page and defaults, and the words of its font and colour tables.
constexpr Entry documentWords[] = {
    {"fonttbl", Word::FontTable}, {"colortbl", Word::ColorTable}, {"upr", Word::Upr}, {"ud", Word::Ud},
    {"ansi", Word::Ansi, 1252}, {"mac", Word::Ansi, 10000}, {"pc", Word::Ansi, 437},
    {"pca", Word::Ansi, 850}, {"ansicpg", Word::AnsiCodePage}, {"cpg", Word::CodePage},
    {"deff", Word::DefaultFont}, {"deftab", Word::DefaultTab},
    {"f", Word::Font}, {"fcharset", Word::FontCharset},
    {"froman", Word::FontKind, int(fonts::Kind::Serif)}, {"fswiss", Word::FontKind, int(fonts::Kind::Sans)},
    {"fmodern", Word::FontKind, int(fonts::Kind::Monospace)},
    {"red", Word::Red}, {"green", Word::Green}, {"blue", Word::Blue},
};

// Breaks, and characters written as words; \uN and the \uc that follows it.
constexpr Entry textWords[] = {
    {"par", Word::Paragraph}, {"page", Word::Paragraph}, {"sect", Word::Paragraph}, {"row", Word::Paragraph},
    {"line", Word::Line}, {"tab", Word::Tab}, {"cell", Word::Cell}, {"nestcell", Word::Cell},
    {"uc", Word::FallbackCount}, {"u", Word::Unicode},
    {"emdash", Word::Character, u'\u2014'}, {"endash", Word::Character, u'\u2013'},
    {"bullet", Word::Character, u'\u2022'}, {"lquote", Word::Character, u'\u2018'},
    {"rquote", Word::Character, u'\u2019'}, {"ldblquote", Word::Character, u'\u201c'},
    {"rdblquote", Word::Character, u'\u201d'}, {"emspace", Word::Character, u'\u2003'},
    {"enspace", Word::Character, u'\u2002'}, {"qmspace", Word::Character, u'\u2005'},
    {"zwj", Word::Character, u'\u200d'}, {"zwnj", Word::Character, u'\u200c'},
    {"ltrmark", Word::Character, u'\u200e'}, {"rtlmark", Word::Character, u'\u200f'},
};

constexpr Entry characterWords[] = {
    {"plain", Word::Plain}, {"fs", Word::FontSize}, {"b", Word::Bold}, {"i", Word::Italic},
    {"strike", Word::StrikeOut}, {"striked", Word::StrikeOut}, {"v", Word::Hidden},
    {"ul", Word::Underline, QTextCharFormat::SingleUnderline},
    {"ulw", Word::Underline, QTextCharFormat::SingleUnderline},
    {"uldb", Word::Underline, QTextCharFormat::SingleUnderline},
    {"ulth", Word::Underline, QTextCharFormat::SingleUnderline},
    {"uld", Word::Underline, QTextCharFormat::DotLine},
    {"ulthd", Word::Underline, QTextCharFormat::DotLine},
    {"uldash", Word::Underline, QTextCharFormat::DashUnderline},
    {"ulthdash", Word::Underline, QTextCharFormat::DashUnderline},
    {"ulldash", Word::Underline, QTextCharFormat::DashUnderline},
    {"ulthldash", Word::Underline, QTextCharFormat::DashUnderline},
    {"uldashd", Word::Underline, QTextCharFormat::DashDotLine},
    {"ulthdashd", Word::Underline, QTextCharFormat::DashDotLine},
    {"uldashdd", Word::Underline, QTextCharFormat::DashDotDotLine},
    {"ulthdashdd", Word::Underline, QTextCharFormat::DashDotDotLine},
    {"ulwave", Word::Underline, QTextCharFormat::WaveUnderline},
    {"ulhwave", Word::Underline, QTextCharFormat::WaveUnderline},
    {"ululdbwave", Word::Underline, QTextCharFormat::WaveUnderline},
    {"ulnone", Word::UnderlineNone},
    {"cf", Word::Colour}, {"highlight", Word::Highlight}, {"cb", Word::Highlight}, {"chcbpat", Word::Highlight},
    {"super", Word::VerticalAlign, QTextCharFormat::AlignSuperScript},
    {"sub", Word::VerticalAlign, QTextCharFormat::AlignSubScript},
    {"nosupersub", Word::VerticalAlign, QTextCharFormat::AlignNormal},
};

constexpr Entry paragraphWords[] = {
    {"pard", Word::Pard},
    {"ql", Word::Align, Qt::AlignLeft}, {"qc", Word::Align, Qt::AlignHCenter},
    {"qr", Word::Align, Qt::AlignRight}, {"qj", Word::Align, Qt::AlignJustify},
    {"li", Word::LeftIndent}, {"ri", Word::RightIndent}, {"fi", Word::FirstLineIndent},
    {"sb", Word::SpaceBefore}, {"sa", Word::SpaceAfter},
    {"tqr", Word::TabType, QTextOption::RightTab}, {"tqc", Word::TabType, QTextOption::CenterTab},
    {"tqdec", Word::TabType, QTextOption::DelimiterTab}, {"tx", Word::TabStop},
};

// Looked up once per control word: a document of nothing but control words has
// millions, so the hash is the standard library's plain one, not a seeded one.
using WordTable = std::unordered_map<std::string_view, WordInfo>;

template<std::size_t count>
void insertAll(WordTable &table, const Entry (&entries)[count])
{
    for (const Entry &entry : entries)
        table.insert_or_assign(entry.name, WordInfo{entry.word, entry.value});
}

const WordTable &wordTable()
{
    static const WordTable table = [] {
        WordTable t;
        for (const char *name : skippedDestinations)
            t.insert_or_assign(name, WordInfo{Word::Skip, 0});
        insertAll(t, documentWords);
        insertAll(t, textWords);
        insertAll(t, characterWords);
        insertAll(t, paragraphWords);
        return t;
    }();
    return table;
}

} // namespace

WordInfo controlWord(QByteArrayView name)
{
    const WordTable &table = wordTable();
    const auto found = table.find(std::string_view(name.data(), size_t(name.size())));
    return found == table.end() ? WordInfo{} : found->second;
}

} // namespace rtf::detail
