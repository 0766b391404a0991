#pragma once

#include "soundmodule.h"

#include <QAudio>
#include <QDeadlineTimer>
#include <QElapsedTimer>

class QAudioSink;
class QThread;
class QTimer;

// The sound module's output: it lives in the audio thread (audioThread()), where
// waiting for the sound server holds up nobody: connecting to a server that never
// answers blocks there, not in the window. It reports through the signals, each tagged
// with the generation the owner gave the play() it concerns.
class SoundPlayer : public SoundOutput
{
    Q_OBJECT

public:
    explicit SoundPlayer(QObject *parent = nullptr);
    ~SoundPlayer() override;

    // A sound that cannot start by startBy is skipped with failed().
    void play(quint64 generation, const DecodedSound &sound, QDeadlineTimer startBy) override;
    void stop() override;

signals:
    void started(quint64 generation);
    void finished(quint64 generation);
    void failed(quint64 generation, const QString &message);

private:
    void start(const DecodedSound &sound, QDeadlineTimer startBy);
    void onSinkState(quint64 generation, QAudio::State state);
    void checkOutput();
    // The sink stopped under the sound: reports why, and whether the sound had started.
    void outputStopped();
    void finish();
    void release();

    QAudioSink *m_sink = nullptr;
    quint64 m_generation = 0;
    bool m_startAnnounced = false;
    QElapsedTimer m_sinceStart;
    // The sink reports idle once it has handed the last bytes to the server, which still
    // has its buffer to play; this waits that out before the device is closed.
    QTimer *m_drainTimer = nullptr;
    // Looks now and then whether the sound server still takes what the sink writes.
    QTimer *m_outputCheck = nullptr;
};

// The one thread that talks to the sound server, shared by every SoundPlayer. It is
// started by the first call (from the user-interface thread) and sleeps while nothing
// plays. When the application object goes, a question still waiting for the sound
// server is cancelled and the thread is joined, however long its remaining work takes
// on a busy machine; only a thread stuck inside the audio library (on a server that
// stopped answering after it was asked) gets a moment, and is then left to sleep
// until the process ends.
QThread *audioThread();
// Whether the application's end left the audio thread running, as above.
bool audioThreadLeftRunning();
