#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <optional>

// A sound decoded to interleaved 16-bit samples (native byte order) at its file's own
// rate and channel count. The samples are implicitly shared, so handing a sound to
// the audio thread copies nothing.
struct DecodedSound
{
    int sampleRate = 0;
    int channels = 0;
    QByteArray samples;

    qsizetype frameCount() const;
    qint64 durationMs() const;
};

// Files larger than this are refused rather than read.
inline constexpr qint64 maxSoundFileBytes = 50 * 1024 * 1024;

// The sample rates an audio output takes. Slower sounds are refused: the sound
// server's client library divides by a period of 20 ms worth of frames, which a rate
// under 50 Hz makes zero.
inline constexpr int minSampleRate = 8000;
inline constexpr int maxSampleRate = 384000;

// Reads the file at path and decodes it with libsndfile, so any wave flavour it knows
// will do (PCM of any width, float, μ-law, A-law, ADPCM, ...); other kinds of sound
// file are refused. Only a regular file is read, and it is opened so that a pipe of
// that name cannot keep us waiting. Data cut short by the end of the file plays as far
// as it goes. A sound at a rate outside minSampleRate..maxSampleRate is refused. On
// failure returns nothing and says why in *error. Once *cancelled turns true (from
// any thread) the decoding stops and fails.
std::optional<DecodedSound> decodeSoundFile(const QString &path, QString *error,
                                            const std::atomic<bool> *cancelled = nullptr);
