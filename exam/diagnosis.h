#pragma once

#include <QStringList>

struct ReviewReport;

// The rules that put a run into words. They are written down in the README.
namespace diagnosis {

// A section took this many minutes more than its share of the 60 by its points.
inline constexpr double overrunMinutes = 3.0;
// The first sentences talk time when blanks cost at least this share of the lost points.
inline constexpr int blankSharePercent = 50;
// The wrong answers of an era or theme are named when it has at least this many.
inline constexpr int wrongToName = 2;
// Keywords named in a sentence, at most.
inline constexpr int keywordsToName = 3;

} // namespace diagnosis

// Two to four sentences from the report's figures (its diagnosis aside): where the
// lost points went, wrong against blank; the section that took too long; the era or
// theme with the most wrong answers and their keywords; points lost to several ticks;
// a run scored without Start. A perfect run says so.
QStringList diagnose(const ReviewReport &report);
