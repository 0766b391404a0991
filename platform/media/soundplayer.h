#pragma once

#include "sounddecoder.h"

#include <QAudio>
#include <QDeadlineTimer>
#include <QObject>

class QAudioSink;
class QThread;
class QTimer;

// Plays decoded sounds on the default audio output. It lives in the audio thread
// (audioThread()), where waiting for the sound server holds up nobody: connecting to
// a server that never answers blocks there, not in the window. Its owner posts it
// play() and stop() and hears back through the signals, each tagged with the
// generation the owner gave the play() it concerns, so that reports about a playback
// already replaced can be told apart.
class SoundPlayer : public QObject
{
    Q_OBJECT

public:
    explicit SoundPlayer(QObject *parent = nullptr);
    ~SoundPlayer() override;

    // Plays sound from its start, replacing what was playing. A sound that cannot start
    // by startBy (the server took too long to answer) is skipped with failed().
    void play(quint64 generation, const DecodedSound &sound, QDeadlineTimer startBy);
    void stop();

signals:
    void started(quint64 generation);
    void finished(quint64 generation);
    void failed(quint64 generation, const QString &message);

private:
    void start(const DecodedSound &sound, QDeadlineTimer startBy);
    void onSinkState(quint64 generation, QAudio::State state);
    void finish();
    void release();

    QAudioSink *m_sink = nullptr;
    quint64 m_generation = 0;
    bool m_startAnnounced = false;
    // The sink reports idle once it has handed the last bytes to the server, which still
    // has its buffer to play; this waits that out before the device is closed.
    QTimer *m_drainTimer = nullptr;
};

// The one thread that talks to the sound server, shared by every SoundPlayer. It is
// started by the first call (from the user-interface thread) and sleeps while nothing
// plays. When the application object goes, a question still waiting for the sound
// server is cancelled and the thread is joined, however long its remaining work takes
// on a busy machine; only a thread stuck inside the audio library (on a server that
// stopped answering after it was asked) gets a moment, and is then left to sleep
// until the process ends.
QThread *audioThread();
