#pragma once

#include <QList>
#include <QTextCharFormat>
#include <QTextOption>

#include <tuple>

namespace rtf::detail {

// Deeper groups are still tokenized but share the state of the deepest one
// followed, so hostile nesting costs no memory.
inline constexpr int maxDepth = 256;
// Each paragraph and each run of text in one format costs the document a block
// or a fragment, some hundred bytes: a file of nothing but \par would otherwise
// take gigabytes. The longest document the program shows has a few thousand.
inline constexpr int maxPieces = 100000;
inline constexpr int defaultFontSize = 24;     // half-points, as \fs counts
inline constexpr int defaultTabTwips = 720;

// Where the text of a group goes.
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

} // namespace rtf::detail
