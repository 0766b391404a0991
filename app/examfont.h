#pragma once

#include <QFont>

// The exam window's font: the layouts' "ＭＳ ゴシック" at the given size, asked for
// by the installed family it stands for. Neither Qt nor fontconfig knows the
// document's name, so asking for it would cost a failed match, a fallback sort and a
// second query through the substitutions for every size and weight.
QFont examFont(qreal points, bool bold);
