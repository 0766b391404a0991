#pragma once

#include <QAudio>
#include <QAudioFormat>
#include <QDateTime>
#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

class QAudioDevice;
class QAudioSink;
class QTimer;

// A wave file decoded to interleaved 16-bit samples at the file's own rate and
// channel count; conversion to what the audio device takes happens only at Play.
struct WaveSound
{
    int sampleRate = 0;
    int channels = 0;
    std::vector<qint16> samples;

    qsizetype frameCount() const { return channels > 0 ? qsizetype(samples.size()) / channels : 0; }
};

// Decodes RIFF/WAVE: PCM 8 (unsigned), 16, 24 and 32 bits, IEEE float 32 and 64 bits,
// plain or WAVE_FORMAT_EXTENSIBLE, mono or stereo. Data cut short by the end of the
// file is kept as far as it goes. On failure returns nothing and says why in *error.
std::optional<WaveSound> decodeWave(const QByteArray &bytes, QString *error);

// The sound from frame fromFrame on, converted to format's sample type, channel
// count and rate (linear interpolation when the rate differs).
QByteArray renderWave(const WaveSound &sound, qsizetype fromFrame, const QAudioFormat &format);

// The file's own rate and channels as 16-bit samples if the device takes that,
// otherwise the device's preferred format.
QAudioFormat outputFormatFor(const WaveSound &sound, const QAudioDevice &device);

// The media device that plays the time-up sound: it takes a wave file's name and the
// commands "Open", "Prev" (back to the start) and "Play". It sits hidden in its window.
// A missing or unreadable file, or no audio device, never stops the program: the
// command is dropped and error() says why.
//
// Open reads the file only when its path, size or times differ from the sound already
// open; a failed Open leaves the sound that was open before. Play while playing starts
// again from the beginning. No file is ever written.
class MediaControl : public QWidget
{
    Q_OBJECT

public:
    explicit MediaControl(QWidget *parent = nullptr);
    ~MediaControl() override;

    void setFileName(const QString &fileName);
    QString fileName() const;

    // "Open", "Prev" or "Play"; any other command is ignored.
    void setCommand(const QString &command);

    bool isOpen() const;
    bool isPlaying() const;

    // What Open decoded last, and how many times Open has actually read a file:
    // the tests watch these to see that an unchanged file is not read again.
    const WaveSound &sound() const;
    int readCount() const;

    // Files larger than this are refused rather than read.
    static constexpr qint64 maxFileBytes = 50 * 1024 * 1024;

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
    void rewind();
    void play();
    void fail(const QString &message);
    void onSinkState(QAudio::State state);
    void finishPlayback();
    void releaseSink();

    QString m_fileName;
    WaveSound m_sound;
    bool m_open = false;
    FileIdentity m_openIdentity;
    FileIdentity m_failedIdentity;
    QString m_failedMessage;
    int m_readCount = 0;
    // Bumped at each successful decode, so a playback that outlives its sound leaves the new one alone.
    quint64 m_soundGeneration = 0;
    quint64 m_playingSoundGeneration = 0;
    qsizetype m_position = 0;

    QAudioSink *m_sink = nullptr;
    // Bumped whenever a playback ends, so late state reports from an old sink are ignored.
    quint64 m_playGeneration = 0;
    bool m_startAnnounced = false;
    // The sink reports idle once it has handed the last bytes to the server, which still
    // has its buffer to play; this waits that out before the device is closed.
    QTimer *m_drainTimer = nullptr;
};
