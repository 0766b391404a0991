#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

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

// Reads the file at path and decodes it with libsndfile, so any wave flavour it knows
// will do (PCM of any width, float, μ-law, A-law, ADPCM, ...); other kinds of sound
// file are refused. Only a regular file is read, and it is opened so that a pipe of
// that name cannot keep us waiting. Data cut short by the end of the file plays as far
// as it goes. On failure returns nothing and says why in *error.
std::optional<DecodedSound> decodeSoundFile(const QString &path, QString *error);
