#pragma once

#include "decodedsound.h"

#include <QString>

#include <atomic>
#include <optional>

// Reads the file at path and decodes it with libsndfile, so any wave flavour it knows
// will do (PCM of any width, float, μ-law, A-law, ADPCM, ...); other kinds of sound
// file are refused. Only a regular file is read, and it is opened so that a pipe of
// that name cannot keep us waiting. Data cut short by the end of the file plays as far
// as it goes. A sound at a rate outside minSampleRate..maxSampleRate is refused. On
// failure returns nothing and says why in *error. Once *cancelled turns true (from
// any thread) the decoding stops and fails.
std::optional<DecodedSound> decodeSoundFile(const QString &path, QString *error,
                                            const std::atomic<bool> *cancelled = nullptr);
