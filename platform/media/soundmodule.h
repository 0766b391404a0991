#pragma once

#include "decodedsound.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>

class QThread;

// The sound libraries (libsndfile and its codecs, the sound server's client library,
// Qt Multimedia) live in a module of their own, loaded when the first sound file is
// read, so that the program starts without them. This is what the module offers the
// media device; the program and the module are built together, from this header.

// Plays decoded sounds on the default audio output, in the audio thread. Its owner
// posts it play() and stop(), and deletes it with deleteLater().
class SoundOutput : public QObject
{
public:
    using QObject::QObject;

    // Plays sound from its start, replacing what was playing. A sound that cannot start
    // by startBy (the server took too long to answer) is skipped with a failure report.
    virtual void play(quint64 generation, const DecodedSound &sound, QDeadlineTimer startBy) = 0;
    virtual void stop() = 0;
};

// What an output reports, each report tagged with the generation its owner gave the
// play() it concerns, so that reports about a playback already replaced can be told apart.
struct SoundOutputReports
{
    std::function<void(quint64 generation)> started;
    std::function<void(quint64 generation)> finished;
    std::function<void(quint64 generation, const QString &message)> failed;
};

class SoundModule
{
public:
    // Reads the file at path and decodes it, in the calling thread; on failure returns
    // nothing and says why in *error. Once *cancelled turns true the decoding stops.
    virtual std::optional<DecodedSound> decode(const QString &path, QString *error,
                                               const std::atomic<bool> *cancelled) const = 0;
    // An output in the audio thread, made from the user-interface thread. Its reports
    // reach reports' functions in receiver's thread, for as long as receiver lives.
    virtual SoundOutput *newOutput(QObject *receiver, SoundOutputReports reports) const = 0;
    // The one thread that talks to the sound server, where every output lives.
    virtual QThread *audioThread() const = 0;
    // Whether the application's end gave up waiting for the audio thread (see audioThread()
    // in soundplayer.h) and left it running, perhaps inside the audio library with its lock.
    virtual bool audioThreadLeftRunning() const = 0;

protected:
    ~SoundModule() = default;
};

// The function the module exports, by which the program finds its SoundModule. Its
// name changes whenever SoundModule does, so that a module left over from another
// build is refused rather than called.
#define NIHONSHIB_SOUND_MODULE_ENTRY nihonshib_sound_module_2
using SoundModuleEntry = const SoundModule *(*)();

// The module, loaded by the first call: from the program's own folder (its folder
// modules/) and nowhere else, never from the current folder or a folder the
// environment names. Loading
// takes a while, so it is never called from the user-interface thread. When the module
// cannot be loaded, returns null and says why in *error; a later call tries again.
// The module is never unloaded. Safe to call from any thread.
const SoundModule *soundModule(QString *error);
// The module if it has been loaded, else null, at once. Safe to call from any thread.
const SoundModule *loadedSoundModule();

// For the program's last step, once the application object is gone. When the loaded
// module's audio thread was left running, the audio library's own teardown at exit (the
// destructors of its static objects) may wait for that thread's lock for ever: then this
// calls cleanUp (if any), flushes the standard streams and ends the process with status at
// once, without exit handlers or static destructors. Returns otherwise.
void endAtOnceIfAudioThreadLeftRunning(int status, void (*cleanUp)() = nullptr);
