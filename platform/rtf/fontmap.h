#pragma once

#include <QString>

namespace fonts {

// What kind of face a document asks for when its font name is unknown here,
// from the font table's \froman / \fswiss / \fmodern and \fcharset128.
enum class Kind {
    Unknown,
    Serif,
    Sans,
    Monospace,
    JapaneseGothic,
    JapaneseMincho,
};

// The installed family that stands in for a font name used by the documents
// and the window layouts ("ＭＳ ゴシック" -> IPAGothic, "平成明朝" -> IPAMincho, ...).
QString familyFor(const QString &documentFontName);

// As above; a name with no known stand-in that is not installed either gets
// an installed family of the given kind.
QString familyFor(const QString &documentFontName, Kind kind);

// Registers the same mapping with QFont, so widgets that ask for "ＭＳ ゴシック"
// get the Japanese gothic font. Call once after QApplication exists.
void installSubstitutions();

} // namespace fonts
