#pragma once

#include <QString>

// What the program settles about the user's session and fonts before the
// application object exists: that it leaves no trace in the session and that
// it looks the same in every locale.
namespace startup {

// Writes text to standard error as UTF-8, whatever the locale's encoding.
void printUtf8(const QString &text);

// Keeps the session as it was: no session bus of our own (the accessibility
// bridge would otherwise make the D-Bus library launch one, with a file in
// HOME and daemons that outlive the program), no sound-library cookie written
// into HOME, and the login's runtime folder used when the environment lacks it.
void keepSessionClean();

// fontconfig reads every cache it finds, the user's own included, but writes
// none: a font folder that no cache covers is scanned at each start instead.
void keepFontCachesReadOnly();

// Font matching follows the language of the text, which here is always
// Japanese, not the user's locale.
void matchFontsForJapanese();

// One warning naming the Japanese fonts that are missing and the packages
// that provide them; the program runs on regardless.
void warnAboutMissingFonts();

} // namespace startup
