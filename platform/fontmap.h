#pragma once

#include <QString>

namespace fonts {

// The installed family that stands in for a font name used by the documents
// and the window layouts ("ＭＳ ゴシック" -> IPAGothic, "平成明朝" -> IPAMincho, ...).
QString familyFor(const QString &documentFontName);

// Registers the same mapping with QFont, so widgets that ask for "ＭＳ ゴシック"
// get the Japanese gothic font. Call once after QApplication exists.
void installSubstitutions();

} // namespace fonts
