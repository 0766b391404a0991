#pragma once

#include <QByteArray>
#include <QtGlobal>

// A sound decoded to interleaved 16-bit samples (native byte order) at its file's own
// rate and channel count. The samples are implicitly shared, so handing a sound to
// the audio thread copies nothing.
struct DecodedSound
{
    int sampleRate = 0;
    int channels = 0;
    QByteArray samples;

    qsizetype frameCount() const
    {
        return channels > 0 ? samples.size() / qsizetype(sizeof(qint16)) / channels : 0;
    }
    qint64 durationMs() const { return sampleRate > 0 ? qint64(frameCount()) * 1000 / sampleRate : 0; }
};

// Files larger than this are refused rather than read.
inline constexpr qint64 maxSoundFileBytes = 50 * 1024 * 1024;

// The sample rates an audio output takes. Slower sounds are refused: the sound
// server's client library divides by a period of 20 ms worth of frames, which a rate
// under 50 Hz makes zero.
inline constexpr int minSampleRate = 8000;
inline constexpr int maxSampleRate = 384000;
