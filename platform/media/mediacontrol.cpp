#include "mediacontrol.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

enum class SampleKind { UnsignedInt, SignedInt, Float };

struct WaveLayout
{
    SampleKind kind = SampleKind::SignedInt;
    int bytesPerSample = 0;
    int channels = 0;
    int sampleRate = 0;
    int blockAlign = 0;
};

constexpr quint16 formatPcm = 0x0001;
constexpr quint16 formatFloat = 0x0003;
constexpr quint16 formatExtensible = 0xFFFE;

// Every subformat GUID of an extensible wave ends like this after its leading format tag.
constexpr unsigned char extensibleGuidTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                                   0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Rates outside this are surely a broken header, not a sound anyone recorded.
constexpr int minimumRate = 1000;
constexpr int maximumRate = 384000;

quint16 le16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint16(u[0] | (u[1] << 8));
}

quint32 le32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | (quint32(u[1]) << 8) | (quint32(u[2]) << 16) | (quint32(u[3]) << 24);
}

qint16 clampToInt16(double value)
{
    if (!(value == value))
        return 0;
    return qint16(std::lround(std::clamp(value, -32768.0, 32767.0)));
}

std::optional<WaveLayout> readFormat(const char *p, quint32 size, QString *error)
{
    quint16 tag = le16(p);
    WaveLayout layout;
    layout.channels = le16(p + 2);
    const quint32 rate = le32(p + 4);
    layout.blockAlign = le16(p + 12);
    const int bits = le16(p + 14);

    if (tag == formatExtensible) {
        if (size < 40 || le16(p + 16) < 22) {
            *error = QStringLiteral("拡張形式の fmt チャンクが短すぎます");
            return std::nullopt;
        }
        const quint32 subformat = le32(p + 24);
        if (subformat > 0xFFFF || std::memcmp(p + 28, extensibleGuidTail, sizeof extensibleGuidTail) != 0) {
            *error = QStringLiteral("拡張形式の副形式に対応していません");
            return std::nullopt;
        }
        tag = quint16(subformat);
    }

    if (tag == formatPcm && bits >= 1 && bits <= 32) {
        layout.bytesPerSample = (bits + 7) / 8;
        layout.kind = layout.bytesPerSample == 1 ? SampleKind::UnsignedInt : SampleKind::SignedInt;
    } else if (tag == formatFloat && (bits == 32 || bits == 64)) {
        layout.bytesPerSample = bits / 8;
        layout.kind = SampleKind::Float;
    } else {
        *error = QStringLiteral("対応していない符号化方式です (形式 0x%1, %2 ビット)")
                     .arg(tag, 4, 16, QLatin1Char('0'))
                     .arg(bits);
        return std::nullopt;
    }

    if (layout.channels < 1 || layout.channels > 2) {
        *error = QStringLiteral("モノラルかステレオのみ再生できます (%1 チャンネル)").arg(layout.channels);
        return std::nullopt;
    }
    if (rate < quint32(minimumRate) || rate > quint32(maximumRate)) {
        *error = QStringLiteral("標本化周波数 %1 Hz は扱えません").arg(rate);
        return std::nullopt;
    }
    layout.sampleRate = int(rate);
    if (layout.blockAlign < layout.channels * layout.bytesPerSample) {
        *error = QStringLiteral("ブロック境界 %1 バイトが標本の大きさに合いません").arg(layout.blockAlign);
        return std::nullopt;
    }
    return layout;
}

qint16 decodeSample(const char *p, const WaveLayout &layout)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    switch (layout.kind) {
    case SampleKind::UnsignedInt:
        return qint16((int(u[0]) - 128) * 256);
    case SampleKind::SignedInt:
        // Samples sit in the high bits of their bytes, so the top two bytes are the 16-bit value.
        return qint16(le16(p + layout.bytesPerSample - 2));
    case SampleKind::Float:
        if (layout.bytesPerSample == 4) {
            float value;
            std::memcpy(&value, p, sizeof value);
            return clampToInt16(double(value) * 32768.0);
        } else {
            double value;
            std::memcpy(&value, p, sizeof value);
            return clampToInt16(value * 32768.0);
        }
    }
    return 0;
}

void writeSample(char *out, double value, QAudioFormat::SampleFormat format)
{
    switch (format) {
    case QAudioFormat::UInt8: {
        const auto sample = quint8(std::clamp(std::lround(value / 256.0) + 128, 0L, 255L));
        std::memcpy(out, &sample, sizeof sample);
        break;
    }
    case QAudioFormat::Int16: {
        const qint16 sample = clampToInt16(value);
        std::memcpy(out, &sample, sizeof sample);
        break;
    }
    case QAudioFormat::Int32: {
        const auto sample = qint32(std::clamp(std::llround(value * 65536.0), -2147483648LL, 2147483647LL));
        std::memcpy(out, &sample, sizeof sample);
        break;
    }
    case QAudioFormat::Float: {
        const auto sample = float(value / 32768.0);
        std::memcpy(out, &sample, sizeof sample);
        break;
    }
    case QAudioFormat::Unknown:
    case QAudioFormat::NSampleFormats:
        break;
    }
}

} // namespace

std::optional<WaveSound> decodeWave(const QByteArray &bytes, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;

    if (bytes.isEmpty()) {
        *error = QStringLiteral("ファイルが空です");
        return std::nullopt;
    }
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || std::memcmp(bytes.constData() + 8, "WAVE", 4) != 0) {
        *error = QStringLiteral("RIFF/WAVE 形式のファイルではありません");
        return std::nullopt;
    }

    // The RIFF size field is often wrong, so chunks are walked up to the real end of the file.
    const char *base = bytes.constData();
    const qint64 end = bytes.size();
    qint64 pos = 12;
    std::optional<WaveLayout> layout;
    qint64 dataPos = -1;
    qint64 dataBytes = 0;
    while (pos + 8 <= end) {
        const char *chunk = base + pos;
        const qint64 size = le32(chunk + 4);
        const qint64 body = pos + 8;
        const qint64 available = end - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !layout) {
            if (size < 16 || size > available) {
                *error = QStringLiteral("fmt チャンクが壊れています");
                return std::nullopt;
            }
            layout = readFormat(base + body, quint32(size), error);
            if (!layout)
                return std::nullopt;
        } else if (std::memcmp(chunk, "data", 4) == 0 && dataPos < 0) {
            // A data chunk cut short by the end of the file still plays as far as it goes.
            dataPos = body;
            dataBytes = std::min(size, available);
        }
        if (layout && dataPos >= 0)
            break;
        pos = body + size + (size & 1);
    }

    if (!layout) {
        *error = QStringLiteral("fmt チャンクがありません");
        return std::nullopt;
    }
    const qint64 frames = dataPos < 0 ? 0 : dataBytes / layout->blockAlign;
    if (frames == 0) {
        *error = QStringLiteral("音声データがありません");
        return std::nullopt;
    }

    WaveSound sound;
    sound.sampleRate = layout->sampleRate;
    sound.channels = layout->channels;
    sound.samples.resize(size_t(frames) * size_t(layout->channels));
    qint16 *out = sound.samples.data();
    for (qint64 frame = 0; frame < frames; ++frame) {
        const char *in = base + dataPos + frame * layout->blockAlign;
        for (int channel = 0; channel < layout->channels; ++channel)
            *out++ = decodeSample(in + channel * layout->bytesPerSample, *layout);
    }
    error->clear();
    return sound;
}

QByteArray renderWave(const WaveSound &sound, qsizetype fromFrame, const QAudioFormat &format)
{
    const qsizetype frames = sound.frameCount();
    const int inChannels = sound.channels;
    const int outChannels = format.channelCount();
    const int outRate = format.sampleRate();
    const int bytesPerSample = format.bytesPerSample();
    if (frames == 0 || sound.sampleRate <= 0 || outChannels <= 0 || outRate <= 0 || bytesPerSample <= 0)
        return {};
    const qsizetype first = std::clamp<qsizetype>(fromFrame, 0, frames);
    const qsizetype inFrames = frames - first;
    if (inFrames == 0)
        return {};

    const bool sameRate = outRate == sound.sampleRate;
    const double step = double(sound.sampleRate) / outRate;
    const qsizetype outFrames =
        sameRate ? inFrames : std::max<qsizetype>(1, qsizetype(std::floor(double(inFrames) / step)));

    const qint16 *in = sound.samples.data() + first * inChannels;
    auto channelValue = [&](qsizetype frame, int outChannel) -> double {
        const qint16 *f = in + frame * inChannels;
        if (inChannels == 1)
            return f[0];
        if (outChannels == 1)
            return (double(f[0]) + f[1]) / 2.0;
        // A stereo file on a device with more speakers keeps to the front pair.
        return outChannel < inChannels ? f[outChannel] : 0.0;
    };

    QByteArray out(outFrames * outChannels * bytesPerSample, Qt::Uninitialized);
    char *p = out.data();
    const QAudioFormat::SampleFormat sampleFormat = format.sampleFormat();
    for (qsizetype i = 0; i < outFrames; ++i) {
        const double position = sameRate ? double(i) : double(i) * step;
        const auto i0 = std::min<qsizetype>(qsizetype(position), inFrames - 1);
        const qsizetype i1 = std::min<qsizetype>(i0 + 1, inFrames - 1);
        const double fraction = position - double(i0);
        for (int channel = 0; channel < outChannels; ++channel) {
            const double a = channelValue(i0, channel);
            const double value = fraction > 0.0 ? a + (channelValue(i1, channel) - a) * fraction : a;
            writeSample(p, value, sampleFormat);
            p += bytesPerSample;
        }
    }
    return out;
}

QAudioFormat outputFormatFor(const WaveSound &sound, const QAudioDevice &device)
{
    QAudioFormat native;
    native.setSampleRate(sound.sampleRate);
    native.setChannelCount(sound.channels);
    native.setSampleFormat(QAudioFormat::Int16);
    if (device.isFormatSupported(native))
        return native;

    const QAudioFormat preferred = device.preferredFormat();
    QAudioFormat fileRate = preferred;
    fileRate.setSampleRate(sound.sampleRate);
    if (device.isFormatSupported(fileRate))
        return fileRate;
    if (preferred.isValid())
        return preferred;

    // No preference given: build one from what the device says it can do.
    QAudioFormat fallback;
    const QList<QAudioFormat::SampleFormat> formats = device.supportedSampleFormats();
    if (formats.isEmpty())
        return {};
    fallback.setSampleFormat(formats.contains(QAudioFormat::Int16) ? QAudioFormat::Int16 : formats.first());
    fallback.setSampleRate(std::clamp(sound.sampleRate, device.minimumSampleRate(), device.maximumSampleRate()));
    fallback.setChannelCount(std::clamp(sound.channels, device.minimumChannelCount(), device.maximumChannelCount()));
    return fallback;
}

bool MediaControl::FileIdentity::operator==(const FileIdentity &other) const
{
    return path == other.path && size == other.size && modified == other.modified
        && metadataChanged == other.metadataChanged;
}

MediaControl::MediaControl(QWidget *parent)
    : QWidget(parent)
    , m_drainTimer(new QTimer(this))
{
    m_drainTimer->setSingleShot(true);
    connect(m_drainTimer, &QTimer::timeout, this, &MediaControl::finishPlayback);
}

MediaControl::~MediaControl()
{
    ++m_playGeneration;
    if (m_sink) {
        m_sink->disconnect(this);
        m_sink->stop();
        delete m_sink;
        m_sink = nullptr;
    }
}

void MediaControl::setFileName(const QString &fileName)
{
    m_fileName = fileName;
}

QString MediaControl::fileName() const
{
    return m_fileName;
}

void MediaControl::setCommand(const QString &command)
{
    const QString name = command.trimmed();
    if (name.compare(QLatin1String("Open"), Qt::CaseInsensitive) == 0)
        open();
    else if (name.compare(QLatin1String("Prev"), Qt::CaseInsensitive) == 0)
        rewind();
    else if (name.compare(QLatin1String("Play"), Qt::CaseInsensitive) == 0)
        play();
}

bool MediaControl::isOpen() const
{
    return m_open;
}

bool MediaControl::isPlaying() const
{
    return m_sink != nullptr;
}

const WaveSound &MediaControl::sound() const
{
    return m_sound;
}

int MediaControl::readCount() const
{
    return m_readCount;
}

void MediaControl::open()
{
    if (m_fileName.isEmpty()) {
        fail(QStringLiteral("音声ファイルの名前がありません"));
        return;
    }
    // A fresh QFileInfo each time: a cached one would not see the file change.
    const QFileInfo info(m_fileName);
    const QString shownName = QDir::toNativeSeparators(m_fileName);
    if (!info.exists()) {
        fail(QStringLiteral("%1 がありません").arg(shownName));
        return;
    }
    if (info.isDir()) {
        fail(QStringLiteral("%1 はフォルダーです").arg(shownName));
        return;
    }
    // Only regular files: opening a pipe of that name would wait for a writer forever.
    if (!info.isFile()) {
        fail(QStringLiteral("%1 は通常のファイルではありません").arg(shownName));
        return;
    }

    const FileIdentity identity{info.absoluteFilePath(), info.size(), info.lastModified(),
                                info.metadataChangeTime()};
    if (m_open && identity == m_openIdentity)
        return;
    if (identity == m_failedIdentity) {
        emit error(m_failedMessage);
        return;
    }

    auto reject = [&](const QString &message) {
        m_failedIdentity = identity;
        m_failedMessage = message;
        fail(message);
    };
    if (info.size() > maxFileBytes) {
        reject(QStringLiteral("%1 は大きすぎます (%2 バイト)").arg(shownName).arg(info.size()));
        return;
    }
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        reject(QStringLiteral("%1 を開けません: %2").arg(shownName, file.errorString()));
        return;
    }
    ++m_readCount;
    const QByteArray bytes = file.read(std::min(info.size(), maxFileBytes));
    file.close();

    QString why;
    std::optional<WaveSound> sound = decodeWave(bytes, &why);
    if (!sound) {
        reject(QStringLiteral("%1: %2").arg(shownName, why));
        return;
    }
    m_sound = std::move(*sound);
    m_open = true;
    m_openIdentity = identity;
    m_failedIdentity = {};
    m_failedMessage.clear();
    m_position = 0;
    ++m_soundGeneration;
}

void MediaControl::rewind()
{
    releaseSink();
    m_position = 0;
}

void MediaControl::play()
{
    if (!m_open) {
        fail(QStringLiteral("音声ファイルが開かれていません"));
        return;
    }
    if (isPlaying()) {
        releaseSink();
        m_position = 0;
    }
    // At the end of the sound there is nothing left to play until Prev.
    if (m_position >= m_sound.frameCount())
        return;

    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        fail(QStringLiteral("音声の出力装置がありません"));
        return;
    }
    const QAudioFormat format = outputFormatFor(m_sound, device);
    if (!format.isValid()) {
        fail(QStringLiteral("出力装置 %1 に合う音声形式がありません").arg(device.description()));
        return;
    }
    const QByteArray pcm = renderWave(m_sound, m_position, format);
    if (pcm.isEmpty())
        return;

    // Not a child of ours: a sink finished with is deleted later, and the sound server's
    // sink runs the event loop in its destructor, which must not meet that pending delete.
    auto *sink = new QAudioSink(device, format);
    auto *buffer = new QBuffer(sink);
    buffer->setData(pcm);
    buffer->open(QIODevice::ReadOnly);

    m_sink = sink;
    m_startAnnounced = false;
    m_playingSoundGeneration = m_soundGeneration;
    const quint64 generation = ++m_playGeneration;
    // Queued: the sound server reports from its own thread, and a report must never
    // reach us while the sink is still inside start().
    connect(
        sink, &QAudioSink::stateChanged, this,
        [this, generation](QAudio::State state) {
            if (generation == m_playGeneration)
                onSinkState(state);
        },
        Qt::QueuedConnection);
    sink->start(buffer);

    if (sink->state() == QAudio::StoppedState || sink->error() != QAudio::NoError) {
        releaseSink();
        fail(QStringLiteral("出力装置 %1 を開けません").arg(device.description()));
    }
}

void MediaControl::fail(const QString &message)
{
    emit error(message);
}

void MediaControl::onSinkState(QAudio::State state)
{
    if (!m_sink)
        return;
    switch (state) {
    case QAudio::ActiveState:
        m_drainTimer->stop();
        if (!m_startAnnounced) {
            m_startAnnounced = true;
            emit playStarted();
        }
        break;
    case QAudio::IdleState: {
        // Everything has gone to the server; let its buffer play out before closing.
        const qint64 bufferedUs = m_sink->format().durationForBytes(int(m_sink->bufferSize()));
        m_drainTimer->start(int(std::max<qint64>(bufferedUs / 1000, 0)) + 50);
        break;
    }
    case QAudio::StoppedState:
        if (m_sink->error() != QAudio::NoError) {
            releaseSink();
            fail(QStringLiteral("再生中に出力装置が止まりました"));
        }
        break;
    case QAudio::SuspendedState:
        break;
    }
}

void MediaControl::finishPlayback()
{
    releaseSink();
    if (m_playingSoundGeneration == m_soundGeneration)
        m_position = m_sound.frameCount();
    emit playFinished();
}

void MediaControl::releaseSink()
{
    ++m_playGeneration;
    m_drainTimer->stop();
    if (!m_sink)
        return;
    m_sink->disconnect(this);
    m_sink->stop();
    m_sink->deleteLater();
    m_sink = nullptr;
}
