#pragma once

// Wave files written byte by byte, in the shapes a user might drop in as the time-up sound.

#include <QByteArray>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace wavefile {

inline constexpr quint16 tagPcm = 1;
inline constexpr quint16 tagFloat = 3;

struct WaveShape
{
    quint16 tag = tagPcm;
    int bits = 16;
    int channels = 1;
    int rate = 44100;
};

inline void putLe16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

inline void putLe32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

inline QByteArray chunk(const char *id, const QByteArray &body, quint32 sizeField)
{
    QByteArray out(id, 4);
    putLe32(out, sizeField);
    out.append(body);
    if (body.size() % 2 == 1)
        out.append('\0');
    return out;
}

// A chunk whose size field promises more than the file holds, as a copy cut short leaves it.
inline QByteArray cutChunk(const char *id, const QByteArray &body, quint32 sizeField)
{
    QByteArray out(id, 4);
    putLe32(out, sizeField);
    out.append(body);
    return out;
}

inline QByteArray chunk(const char *id, const QByteArray &body)
{
    return chunk(id, body, quint32(body.size()));
}

inline QByteArray fmtBody(const WaveShape &shape)
{
    const int container = (shape.bits + 7) / 8;
    QByteArray body;
    putLe16(body, shape.tag);
    putLe16(body, quint16(shape.channels));
    putLe32(body, quint32(shape.rate));
    putLe32(body, quint32(shape.rate * shape.channels * container));
    putLe16(body, quint16(shape.channels * container));
    putLe16(body, quint16(shape.bits));
    return body;
}

// One sample in [-1, 1] as the file stores it: integers scaled to their full range
// (8-bit offset by 128), floats as they are.
inline QByteArray encodeSample(double value, const WaveShape &shape)
{
    QByteArray out;
    if (shape.tag == tagFloat) {
        if (shape.bits == 32) {
            const float f = float(value);
            out.append(reinterpret_cast<const char *>(&f), 4);
        } else {
            out.append(reinterpret_cast<const char *>(&value), 8);
        }
        return out;
    }
    const int container = (shape.bits + 7) / 8;
    const double top = std::ldexp(1.0, shape.bits - 1);
    qint64 level = std::llround(value * top);
    level = std::clamp<qint64>(level, qint64(-top), qint64(top) - 1);
    if (container == 1) {
        out.append(char(quint8(level + 128)));
        return out;
    }
    const quint64 stored = quint64(level) << (container * 8 - shape.bits);
    for (int i = 0; i < container; ++i)
        out.append(char((stored >> (8 * i)) & 0xFF));
    return out;
}

inline QByteArray riff(const QByteArray &chunks)
{
    QByteArray out("RIFF");
    putLe32(out, quint32(4 + chunks.size()));
    out.append("WAVE");
    out.append(chunks);
    return out;
}

// A 440 Hz tone at half of full scale.
inline QByteArray toneWave(const WaveShape &shape, int milliseconds)
{
    QByteArray data;
    const int frames = shape.rate * milliseconds / 1000;
    for (int f = 0; f < frames; ++f) {
        const double value = 0.5 * std::sin(2.0 * M_PI * 440.0 * f / shape.rate);
        for (int c = 0; c < shape.channels; ++c)
            data.append(encodeSample(value, shape));
    }
    return riff(chunk("fmt ", fmtBody(shape)) + chunk("data", data));
}

} // namespace wavefile
