#pragma once

#include "decodedsound.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <optional>

class QTimer;
class SoundFileReader;
class SoundOutput;

// The media device that plays the time-up sound: it takes a wave file's name and the
// commands "Open", "Prev" (back to the start) and "Play". It sits hidden in its window.
// A missing or unreadable file, or no audio device, never stops the program: the
// command is dropped, error() says why and the reason is logged once (lcMedia).
//
// Open looks at the file's path, size and times, and reads it only when they differ
// from the sound already open; a failed Open leaves the sound that was open before.
// The file is read and decoded in a thread of its own, one file at a time and at most
// once every readIntervalMs, so a large file, or one that keeps changing, never holds
// up the window; opened() tells when a new sound is open. The sound libraries are
// loaded there too, with the first file read (soundModule()): a module that cannot be
// loaded fails the read as a bad file would. A Play that comes while a file is being
// read waits for it. Nothing touches the audio device before the first Play. Play
// returns at once: the sound is played by the module's output in the audio thread,
// so a sound server that is slow or never answers cannot hold up the window; a sound
// that cannot start within startWithinMs is skipped. Play while playing starts again
// from the beginning. The window keeps its own watch, which no thread can hold up: a
// sound that has not started answerMarginMs after startWithinMs, or has not finished
// answerMarginMs after its own length, is given up, the sound server taken to have
// stopped answering. No file is ever written.
class MediaControl : public QWidget
{
    Q_OBJECT

public:
    explicit MediaControl(QWidget *parent = nullptr);
    ~MediaControl() override;

    void setFileName(const QString &fileName);

    // "Open", "Prev" or "Play"; any other command is ignored.
    void setCommand(const QString &command);

    bool isOpen() const;
    // A Play has been asked for and has not finished or failed yet.
    bool isPlaying() const;
    // A file is being read, or is due to be read once readIntervalMs has passed.
    bool isReading() const;

    // What was read last, and how many times a file has actually been read: the tests
    // watch these to see that an unchanged file is not read again.
    const DecodedSound &sound() const;
    int readCount() const;

    static constexpr int startWithinMs = 5000;
    static constexpr int readIntervalMs = 1000;
    // Past the time a sound is due to start or to end, how long the window waits for a
    // word from the audio thread: the output's buffer and a busy machine take a while.
    static constexpr int answerMarginMs = 5000;

signals:
    void opened();
    void playStarted();
    void playFinished();
    void error(const QString &message);

private:
    struct FileIdentity
    {
        QString path;
        qint64 size = -1;
        QDateTime modified;
        QDateTime metadataChanged;

        bool operator==(const FileIdentity &other) const;
        bool operator!=(const FileIdentity &other) const { return !(*this == other); }
    };

    void open();
    void startReading(const FileIdentity &identity);
    void readAgainLater();
    void onRead(quint64 request, const DecodedSound &sound, const QString &why);
    void rewind();
    void stopPlaying();
    void play();
    void settleWaitingPlay();
    void startPlaying(QDeadlineTimer startBy);
    SoundOutput *player();
    void onStarted(quint64 generation);
    void onFinished(quint64 generation);
    void onFailed(quint64 generation, const QString &message);
    void onNoAnswer();
    void refuseOpen(const QString &message);
    void reportNotOpen();
    void report(const QString &message);

    QString m_fileName;
    DecodedSound m_sound;
    bool m_open = false;
    FileIdentity m_openIdentity;
    FileIdentity m_failedIdentity;
    QString m_failedMessage;
    QString m_openFailure;
    int m_readCount = 0;
    // Bumped at each successful read, so a playback that outlives its sound leaves the new one alone.
    quint64 m_soundGeneration = 0;
    quint64 m_playingSoundGeneration = 0;
    // Played to its end: nothing is left to play until Prev.
    bool m_atEnd = false;

    // Lives in the reading thread; made at the first read, deleted there after us.
    SoundFileReader *m_reader = nullptr;
    quint64 m_readRequest = 0;
    // The file being read, if one is.
    std::optional<FileIdentity> m_readingIdentity;
    // The file changed while it was being read: look again once the interval is up.
    bool m_lookAgain = false;
    QElapsedTimer m_lastReadStarted;
    QTimer *m_nextReadTimer = nullptr;
    // A Play that came while a file was being read, and by when it must start.
    bool m_playWaitsForRead = false;
    QDeadlineTimer m_playStartBy;

    // Lives in the audio thread; made at the first Play, deleted there after us.
    SoundOutput *m_player = nullptr;
    // Bumped at each Play and Prev, so reports about an earlier playback are ignored.
    quint64 m_playGeneration = 0;
    bool m_playing = false;
    // Runs while a sound is due to start or to end; the length of the one playing.
    QTimer *m_answerTimer = nullptr;
    qint64 m_playingDurationMs = 0;
    bool m_playStarted = false;

    // The last failure logged, so that one sent every tick is logged once.
    QString m_lastReported;
};
