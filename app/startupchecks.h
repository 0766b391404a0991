#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

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

enum class DisplayVerdict {
    Reachable,          // a display answered
    NotNeeded,          // an off-screen, framebuffer or VNC platform: no display to reach
    NoDisplay,          // none named, or nothing listening where it should be
    NotAnswering,       // an X server took the connection but did not answer in time
    UnknownPlatform,    // no platform plugin here answers to the names asked for
};

struct DisplayCheck
{
    DisplayVerdict verdict = DisplayVerdict::NoDisplay;
    QByteArray displayName;     // -display or DISPLAY; empty when neither is set
    QByteArray platforms;       // -platform or QT_QPA_PLATFORM as given
    QStringList installedPlatforms;
    // The X connection the check made. A server with no other client resets when its
    // last client leaves, and a toolkit connecting during the reset fails: the
    // connection is held until the toolkit has its own.
    std::shared_ptr<void> connection;
};

// Whether the toolkit can open a window, from the command line and the environment
// alone: the platform it would use, and the display that platform needs. Named
// platforms are looked for among installedPlatforms (plugin names, as the toolkit
// matches them); an X server gets deadline to answer.
DisplayCheck checkDisplay(const QStringList &arguments, const QProcessEnvironment &environment,
                          const QStringList &installedPlatforms, std::chrono::milliseconds deadline);

// The names the toolkit's platform plugins answer to, in the folders it searches.
QStringList installedPlatforms(const QStringList &arguments, const QProcessEnvironment &environment);

// What the user reads when the check fails: a line in Japanese, then one in English.
QString displayFailureMessage(const DisplayCheck &check);

// One warning naming the Japanese fonts that are missing and the packages
// that provide them; the program runs on regardless.
void warnAboutMissingFonts();

// All of the above, the display checked before the fonts are set up; false when the
// program should end with status 1.
// Until toolkitStarted(), the display check's connection is held, and a toolkit that
// fails to start says so in the program's words and ends with status 1.
bool prepare(int argc, char *argv[]);

// The application object exists: the toolkit has its own display connection.
void toolkitStarted();

} // namespace startup
