#pragma once

#include "sounddecoder.h"

#include <QDateTime>
#include <QString>
#include <QWidget>

class SoundPlayer;

// The media device that plays the time-up sound: it takes a wave file's name and the
// commands "Open", "Prev" (back to the start) and "Play". It sits hidden in its window.
// A missing or unreadable file, or no audio device, never stops the program: the
// command is dropped and error() says why.
//
// Open reads the file only when its path, size or times differ from the sound already
// open; a failed Open leaves the sound that was open before. Nothing touches the audio
// device before the first Play. Play returns at once: the sound is played by a
// SoundPlayer in the audio thread, so a sound server that is slow or never answers
// cannot hold up the window; a sound that cannot start within startWithinMs is skipped.
// Play while playing starts again from the beginning. No file is ever written.
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
    bool isPlaying() const;

    // What Open decoded last, and how many times Open has actually read a file:
    // the tests watch these to see that an unchanged file is not read again.
    const DecodedSound &sound() const;
    int readCount() const;

    static constexpr int startWithinMs = 5000;

signals:
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
    };

    void open();
    void load(const FileIdentity &identity);
    void rewind();
    void play();
    SoundPlayer *player();
    void onStarted(quint64 generation);
    void onFinished(quint64 generation);
    void onFailed(quint64 generation, const QString &message);

    QString m_fileName;
    DecodedSound m_sound;
    bool m_open = false;
    FileIdentity m_openIdentity;
    FileIdentity m_failedIdentity;
    QString m_failedMessage;
    int m_readCount = 0;
    // Bumped at each successful decode, so a playback that outlives its sound leaves the new one alone.
    quint64 m_soundGeneration = 0;
    quint64 m_playingSoundGeneration = 0;
    // Played to its end: nothing is left to play until Prev.
    bool m_atEnd = false;

    // Lives in the audio thread; made at the first Play, deleted there after us.
    SoundPlayer *m_player = nullptr;
    // Bumped at each Play and Prev, so reports about an earlier playback are ignored.
    quint64 m_playGeneration = 0;
    bool m_playing = false;
};
