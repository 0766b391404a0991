#include "sounddecoder.h"

#include <QFile>

#include <sndfile.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// A decoded sound may take at most this many samples (twice as many bytes), however
// well the file packs them: an ADPCM file at the size limit would decode to four times that.
constexpr sf_count_t maxSamples = maxSoundFileBytes;

struct FileDescriptor
{
    int fd = -1;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

struct SndfileCloser
{
    void operator()(SNDFILE *file) const { sf_close(file); }
};

// Reads every frame as floats in [-1, 1] (whatever the file stores) and keeps them as
// 16-bit samples, clipping what lies beyond full scale. Fewer frames than the header
// promised means the file was cut short: what is there is kept. Returns the frames read.
sf_count_t readAsInt16(SNDFILE *file, const SF_INFO &info, QByteArray *samples, const std::atomic<bool> *cancelled)
{
    constexpr sf_count_t blockFrames = 4096;
    std::vector<float> block(size_t(blockFrames) * size_t(info.channels));
    samples->resize(qsizetype(info.frames) * info.channels * qsizetype(sizeof(qint16)));
    auto *out = reinterpret_cast<qint16 *>(samples->data());
    sf_count_t done = 0;
    while (done < info.frames) {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            return 0;
        const sf_count_t got = sf_readf_float(file, block.data(), std::min(blockFrames, info.frames - done));
        if (got <= 0)
            break;
        for (sf_count_t i = 0; i < got * info.channels; ++i) {
            const float value = block[size_t(i)];
            // A float file may hold NaN; it plays as silence.
            *out++ = std::isnan(value) ? 0 : qint16(std::lround(std::clamp(value * 32768.0f, -32768.0f, 32767.0f)));
        }
        done += got;
    }
    samples->truncate(qsizetype(done) * info.channels * qsizetype(sizeof(qint16)));
    return done;
}

std::optional<DecodedSound> decode(SNDFILE *file, const SF_INFO &info, QString *error,
                                   const std::atomic<bool> *cancelled)
{
    // The sound is a wave file: other formats the library also reads are not taken for one.
    const int container = info.format & SF_FORMAT_TYPEMASK;
    if (container != SF_FORMAT_WAV && container != SF_FORMAT_WAVEX && container != SF_FORMAT_RF64) {
        *error = QStringLiteral("RIFF/WAVE 形式のファイルではありません");
        return std::nullopt;
    }
    if (info.channels < 1 || info.samplerate < 1 || info.frames < 1) {
        *error = QStringLiteral("音声データがありません");
        return std::nullopt;
    }
    if (info.samplerate < minSampleRate || info.samplerate > maxSampleRate) {
        *error = QStringLiteral("サンプリング周波数 %1 Hz の音声は鳴らせません (%2〜%3 Hz)")
                     .arg(info.samplerate)
                     .arg(minSampleRate)
                     .arg(maxSampleRate);
        return std::nullopt;
    }
    if (info.frames > maxSamples / info.channels) {
        *error = QStringLiteral("音声が長すぎます (%1 フレーム)").arg(qint64(info.frames));
        return std::nullopt;
    }
    DecodedSound sound;
    sound.sampleRate = info.samplerate;
    sound.channels = info.channels;
    if (readAsInt16(file, info, &sound.samples, cancelled) < 1) {
        *error = cancelled && cancelled->load() ? QStringLiteral("読み込みを取りやめました")
                                                : QStringLiteral("音声データがありません");
        return std::nullopt;
    }
    return sound;
}

} // namespace

std::optional<DecodedSound> decodeSoundFile(const QString &path, QString *error, const std::atomic<bool> *cancelled)
{
    // Non-blocking, so that opening a pipe returns at once instead of waiting for a writer;
    // what was opened is then checked, not what the name pointed at a moment before.
    const FileDescriptor opened{::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (opened.fd < 0) {
        *error = QStringLiteral("開けません: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(opened.fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        *error = QStringLiteral("通常のファイルではありません");
        return std::nullopt;
    }
    if (status.st_size == 0) {
        *error = QStringLiteral("ファイルが空です");
        return std::nullopt;
    }
    if (status.st_size > maxSoundFileBytes) {
        *error = QStringLiteral("大きすぎます (%1 バイト)").arg(qint64(status.st_size));
        return std::nullopt;
    }
    SF_INFO info{};
    const std::unique_ptr<SNDFILE, SndfileCloser> file(sf_open_fd(opened.fd, SFM_READ, &info, SF_FALSE));
    if (!file) {
        *error = QStringLiteral("音声ファイルとして読めません (%1)").arg(QString::fromUtf8(sf_strerror(nullptr)));
        return std::nullopt;
    }
    return decode(file.get(), info, error, cancelled);
}
