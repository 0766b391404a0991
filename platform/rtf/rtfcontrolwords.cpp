#include "rtfcontrolwords.h"

#include "fontmap.h"

#include <QHash>
#include <QTextCharFormat>
#include <QTextOption>

#include <utility>

namespace rtf::detail {

namespace {

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

} // namespace

WordInfo controlWord(QByteArrayView name)
{
    const auto found = wordTable().constFind(QByteArray::fromRawData(name.data(), name.size()));
    return found == wordTable().constEnd() ? WordInfo{} : *found;
}

} // namespace rtf::detail
