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

// The family a document's font table entry is shown in, as above, or an empty
// string for a name that is neither known here nor installed: its text takes the
// document's fallback face, as font matching would substitute one anyway. So a
// table of thousands of made-up names yields no more families than are installed,
// and the document no more formats that differ only by family.
QString installedFamilyFor(const QString &documentFontName, Kind kind);

// Registers the same mapping with QFont, so widgets that ask for "ＭＳ ゴシック"
// get the Japanese gothic font. Call once after QApplication exists.
void installSubstitutions();

} // namespace fonts
