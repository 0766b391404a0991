#pragma once

// What the program settles before the application object exists: that it
// leaves no trace in the user's session, that it looks the same in every
// locale, and that it says plainly when it cannot run.
namespace startup {

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

// False, after one message in Japanese and English, when no window can be
// opened: the windowing system the toolkit would use is not reachable.
bool displayAvailable(int argc, char *argv[]);

// One warning naming the Japanese fonts that are missing and the packages
// that provide them; the program runs on regardless.
void warnAboutMissingFonts();

// All of the above in order; false when the program should end with status 1.
bool prepare(int argc, char *argv[]);

} // namespace startup
