#pragma once

#include <QByteArrayView>

namespace rtf::detail {

// What a control word does. Words with the same effect share one Word, and
// WordInfo::value tells them apart (\ql and \qc, \ul and \uld, \ansi and \mac).
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

// Words the reader does not know come back as Ignored.
WordInfo controlWord(QByteArrayView name);

} // namespace rtf::detail
