#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

// Whether the program can open a window at all, decided before the toolkit tries:
// the toolkit would otherwise abort in English, or wait for ever on a wedged server.
namespace startup {

// A server that takes the connection but says nothing is wedged; the toolkit
// would wait on it for ever.
inline constexpr std::chrono::milliseconds displayDeadline{5000};

// The value following "-name" or "--name" on the command line, as the toolkit reads it.
QByteArray argumentValue(const QStringList &arguments, const char *name);

enum class DisplayVerdict {
    Reachable,          // a display answered
    NotNeeded,          // an off-screen, framebuffer or VNC platform: no display to reach
    NotNamed,           // neither an X nor a Wayland display named
    NoDisplay,          // nothing listening where the display named should be
    Refused,            // the X server refused the connection, with its reason if it gave one
    NotAnswering,       // an X server took the connection but did not answer in time
    UnknownPlatform,    // no platform plugin here answers to the names asked for
};

struct DisplayCheck
{
    DisplayVerdict verdict = DisplayVerdict::NoDisplay;
    QByteArray displayName;     // -display or DISPLAY; empty when neither is set
    QByteArray platforms;       // -platform or QT_QPA_PLATFORM as given
    QStringList installedPlatforms;
    QByteArray refusal;         // what an X server that refused the connection said
    // The X connection the check made. A server with no other client resets when its
    // last client leaves, and a toolkit connecting during the reset fails: the
    // connection is held until the toolkit has its own.
    std::shared_ptr<void> connection;
};

// Whether the toolkit can open a window, from the command line and the environment
// alone: the platform it would use, and the display that platform needs. Named
// platforms are looked for among installedPlatforms (plugin names, as the toolkit
// matches them); an X server gets deadline to answer. A server that drops the
// connection without a reason (as one resetting after its last client left does) is
// asked again within the deadline.
DisplayCheck checkDisplay(const QStringList &arguments, const QProcessEnvironment &environment,
                          const QStringList &installedPlatforms, std::chrono::milliseconds deadline);

// The names the toolkit's platform plugins answer to, in the folders it searches.
QStringList installedPlatforms(const QStringList &arguments, const QProcessEnvironment &environment);

// What the user reads when the check fails: a line in Japanese, then one in English.
QString displayFailureMessage(const DisplayCheck &check);

} // namespace startup
