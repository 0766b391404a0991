// The time-up sound device without a sound server: decoding the wave files a user
// might drop in as Zikan.wav, refusing broken ones quietly, converting for a device,
// and reading the file again only when it has changed.

#include "mediacontrol.h"
#include "wavefiles.h"

#include <QAudioFormat>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <functional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

using namespace wavefile;

// A square wave: two frames high, two low; the right channel at half the left's height.
QByteArray squareData(const WaveShape &shape, int frames)
{
    QByteArray data;
    for (int f = 0; f < frames; ++f) {
        for (int c = 0; c < shape.channels; ++c)
            data.append(encodeSample(((f / 2) % 2 == 0 ? 1.0 : -1.0) * (c == 0 ? 1.0 : 0.5), shape));
    }
    return data;
}

QByteArray squareWave(const WaveShape &shape, int frames)
{
    return riff(chunk("fmt ", fmtBody(shape)) + chunk("data", squareData(shape, frames)));
}

QByteArray mono16(const QVector<qint16> &samples)
{
    QByteArray data;
    for (qint16 s : samples)
        putLe16(data, quint16(s));
    return riff(chunk("fmt ", fmtBody(WaveShape())) + chunk("data", data));
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QAudioFormat audioFormat(int rate, int channels, QAudioFormat::SampleFormat sampleFormat)
{
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(channels);
    format.setSampleFormat(sampleFormat);
    return format;
}

using FileMaker = std::function<bool(const QString &)>;

} // namespace

Q_DECLARE_METATYPE(FileMaker)
Q_DECLARE_METATYPE(wavefile::WaveShape)

class tst_MediaControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void decodesSquareWaves_data();
    void decodesSquareWaves();
    void decodesSampleValues_data();
    void decodesSampleValues();
    void walksChunks_data();
    void walksChunks();

    void refusesBadFiles_data();
    void refusesBadFiles();
    void repeatedOpenReadsOnce_data();
    void repeatedOpenReadsOnce();

    void changedFileIsPickedUp_data();
    void changedFileIsPickedUp();

    void rendersForDevice_data();
    void rendersForDevice();

    void playWithoutServerIsRefusedPromptly();
    void otherCommandsAreIgnored();

private:
    QTemporaryDir m_dir;
};

void tst_MediaControl::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // No sound server here: point the client at a socket that is not there, so Play
    // meets "no server" whatever this machine runs.
    qputenv("PULSE_SERVER", QFile::encodeName(QStringLiteral("unix:%1/no-server").arg(m_dir.path())));
}

void tst_MediaControl::decodesSquareWaves_data()
{
    QTest::addColumn<WaveShape>("shape");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("tolerance");

    // WaveShape{tag, bits, valid bits (0: all), channels, rate, extensible}.
    // 8-bit samples carry 256 steps, so their top level lands 255 short of 32767.
    QTest::newRow("8-bit mono 8000 Hz") << WaveShape{tagPcm, 8, 0, 1, 8000} << 800 << 256;
    QTest::newRow("8-bit stereo 22050 Hz") << WaveShape{tagPcm, 8, 0, 2, 22050} << 441 << 256;
    QTest::newRow("16-bit mono 44100 Hz") << WaveShape{tagPcm, 16, 0, 1, 44100} << 4410 << 1;
    QTest::newRow("16-bit stereo 48000 Hz") << WaveShape{tagPcm, 16, 0, 2, 48000} << 4800 << 1;
    QTest::newRow("24-bit mono 22050 Hz") << WaveShape{tagPcm, 24, 0, 1, 22050} << 2205 << 1;
    QTest::newRow("24-bit stereo 44100 Hz") << WaveShape{tagPcm, 24, 0, 2, 44100} << 4411 << 1;
    QTest::newRow("32-bit mono 48000 Hz") << WaveShape{tagPcm, 32, 0, 1, 48000} << 4800 << 1;
    QTest::newRow("32-bit stereo 8000 Hz") << WaveShape{tagPcm, 32, 0, 2, 8000} << 801 << 1;
    QTest::newRow("float mono 44100 Hz") << WaveShape{tagFloat, 32, 0, 1, 44100} << 4410 << 1;
    QTest::newRow("float stereo 48000 Hz") << WaveShape{tagFloat, 32, 0, 2, 48000} << 480 << 1;
    QTest::newRow("double mono 22050 Hz") << WaveShape{tagFloat, 64, 0, 1, 22050} << 2205 << 1;
    QTest::newRow("extensible 16-bit stereo 44100 Hz") << WaveShape{tagPcm, 16, 0, 2, 44100, true} << 441 << 1;
    QTest::newRow("extensible 24 in 32 bits stereo 48000 Hz") << WaveShape{tagPcm, 32, 24, 2, 48000, true} << 480 << 1;
    QTest::newRow("extensible 32-bit mono 8000 Hz") << WaveShape{tagPcm, 32, 0, 1, 8000, true} << 80 << 1;
    QTest::newRow("extensible float mono 22050 Hz") << WaveShape{tagFloat, 32, 0, 1, 22050, true} << 2205 << 1;
    QTest::newRow("12-bit in 16 bits mono 8000 Hz") << WaveShape{tagPcm, 12, 0, 1, 8000} << 80 << 16;
}

void tst_MediaControl::decodesSquareWaves()
{
    QFETCH(WaveShape, shape);
    QFETCH(int, frames);
    QFETCH(int, tolerance);

    const QString path = m_dir.filePath(QStringLiteral("Zikan.wav"));
    QVERIFY(writeFile(path, squareWave(shape, frames)));

    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    control.setFileName(path);
    control.setCommand(QStringLiteral("Open"));
    QCOMPARE(errors.count(), 0);
    QVERIFY(control.isOpen());

    const WaveSound &sound = control.sound();
    QCOMPARE(sound.sampleRate, shape.rate);
    QCOMPARE(sound.channels, shape.channels);
    QCOMPARE(sound.frameCount(), qsizetype(frames));
    // On the 16-bit scale: the left channel at full scale, the right at half, high then low.
    const int levels[2][2] = {{32767, -32768}, {16384, -16384}};
    for (int f = 0; f < frames; ++f) {
        for (int c = 0; c < shape.channels; ++c) {
            const int wanted = levels[c][(f / 2) % 2];
            const int got = sound.samples[size_t(f * shape.channels + c)];
            if (std::abs(got - wanted) > tolerance)
                QFAIL(qPrintable(QStringLiteral("frame %1 channel %2: %3, wanted %4").arg(f).arg(c).arg(got).arg(wanted)));
        }
    }
}

void tst_MediaControl::decodesSampleValues_data()
{
    QTest::addColumn<WaveShape>("shape");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QVector<int>>("samples");

    QTest::newRow("8-bit unsigned") << WaveShape{tagPcm, 8} << QByteArray::fromHex("00 40 80 c0 ff")
                                    << QVector<int>{-32768, -16384, 0, 16384, 32512};
    QTest::newRow("16-bit") << WaveShape{tagPcm, 16} << QByteArray::fromHex("0080 00c0 0000 0040 ff7f")
                            << QVector<int>{-32768, -16384, 0, 16384, 32767};
    QTest::newRow("24-bit") << WaveShape{tagPcm, 24} << QByteArray::fromHex("000080 0000c0 000000 000040 ffff7f 123456")
                            << QVector<int>{-32768, -16384, 0, 16384, 32767, 0x5634};
    QTest::newRow("32-bit") << WaveShape{tagPcm, 32} << QByteArray::fromHex("00000080 000000c0 00000000 00000040 ffffff7f")
                            << QVector<int>{-32768, -16384, 0, 16384, 32767};
    // -1.0, -0.5, 0, 0.5, 1.0, 2.0 (clipped) as little-endian IEEE floats.
    QTest::newRow("32-bit float")
        << WaveShape{tagFloat, 32} << QByteArray::fromHex("000080bf 000000bf 00000000 0000003f 0000803f 00000040")
        << QVector<int>{-32768, -16384, 0, 16384, 32767, 32767};
    QTest::newRow("64-bit float") << WaveShape{tagFloat, 64} << QByteArray::fromHex("000000000000d0bf 000000000000d03f")
                                  << QVector<int>{-8192, 8192};
}

void tst_MediaControl::decodesSampleValues()
{
    QFETCH(WaveShape, shape);
    QFETCH(QByteArray, data);
    QFETCH(QVector<int>, samples);

    QString error;
    const std::optional<WaveSound> sound = decodeWave(riff(chunk("fmt ", fmtBody(shape)) + chunk("data", data)), &error);
    QVERIFY2(sound, qPrintable(error));
    QCOMPARE(QVector<int>(sound->samples.cbegin(), sound->samples.cend()), samples);
}

void tst_MediaControl::walksChunks_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("frames");

    WaveShape shape;
    const QByteArray fmt = chunk("fmt ", fmtBody(shape));
    const QByteArray data = squareData(shape, 100);
    const QByteArray list = chunk("LIST", QByteArray("INFOINAM\x05\0\0\0Zikan\0", 18));

    QTest::newRow("list before fmt") << riff(list + fmt + chunk("data", data)) << 100;
    QTest::newRow("odd-sized chunk padded") << riff(fmt + chunk("note", QByteArray("abc")) + chunk("data", data)) << 100;
    QTest::newRow("data before fmt") << riff(chunk("data", data) + fmt) << 100;
    QTest::newRow("chunks after data") << riff(fmt + chunk("data", data) + list) << 100;

    WaveShape withExtra = shape;
    QByteArray fmt18 = fmtBody(withExtra);
    putLe16(fmt18, 0);
    QTest::newRow("fmt with empty extension") << riff(chunk("fmt ", fmt18) + chunk("data", data)) << 100;

    QByteArray wrongRiffSize = riff(fmt + chunk("data", data));
    wrongRiffSize[4] = '\xff';
    wrongRiffSize[5] = '\xff';
    QTest::newRow("riff size wrong") << wrongRiffSize << 100;

    // Header promises 1000 frames; 10 and a half are there.
    QTest::newRow("data cut short") << riff(fmt + cutChunk("data", data.left(21), 2000)) << 10;
    QTest::newRow("data size all ones") << riff(fmt + chunk("data", data, 0xFFFFFFFF)) << 100;
}

void tst_MediaControl::walksChunks()
{
    QFETCH(QByteArray, file);
    QFETCH(int, frames);

    QString error;
    const std::optional<WaveSound> sound = decodeWave(file, &error);
    QVERIFY2(sound, qPrintable(error));
    QCOMPARE(sound->frameCount(), qsizetype(frames));
    QCOMPARE(int(sound->samples.front()), 32767);
    QCOMPARE(int(sound->samples.back()), (frames - 1) / 2 % 2 == 0 ? 32767 : -32768);
}

void tst_MediaControl::refusesBadFiles_data()
{
    // Each row builds its Zikan.wav (or leaves it out) in an empty folder.
    QTest::addColumn<FileMaker>("make");

    auto bytes = [](const QByteArray &content) {
        return FileMaker([content](const QString &path) { return writeFile(path, content); });
    };
    WaveShape shape;
    const QByteArray fmt = chunk("fmt ", fmtBody(shape));
    auto withFormat = [&](void (*change)(WaveShape &)) {
        WaveShape changed = shape;
        change(changed);
        return riff(chunk("fmt ", fmtBody(changed)) + chunk("data", squareData(shape, 10)));
    };

    QTest::newRow("missing") << FileMaker([](const QString &) { return true; });
    QTest::newRow("empty") << bytes(QByteArray());
    QTest::newRow("header only") << bytes(riff(QByteArray()));
    QTest::newRow("fmt without data") << bytes(riff(fmt));
    QTest::newRow("empty data") << bytes(riff(fmt + chunk("data", QByteArray())));
    QTest::newRow("data shorter than one frame") << bytes(riff(fmt + cutChunk("data", QByteArray(1, '\x01'), 400)));
    QTest::newRow("fmt cut short") << bytes(riff(fmt.left(16)));
    QTest::newRow("not riff") << bytes(QStringLiteral("これは音声ではありません\n").toUtf8());
    QTest::newRow("big-endian rifx") << bytes(QByteArray("RIFX") + riff(fmt).mid(4));
    QTest::newRow("riff but not wave") << bytes(QByteArray("RIFF\x04\0\0\0AVI ", 12));
    QTest::newRow("fmt size absurd") << bytes(riff(chunk("fmt ", fmtBody(shape), 0xFFFFFFF0)));
    QTest::newRow("unknown chunk size absurd")
        << bytes(riff(chunk("junk", QByteArray(8, '\0'), 0xFFFFFFF0) + fmt + chunk("data", squareData(shape, 10))));
    QTest::newRow("adpcm") << bytes(withFormat([](WaveShape &s) { s.tag = 2; }));
    QTest::newRow("six channels") << bytes(withFormat([](WaveShape &s) { s.channels = 6; }));
    QTest::newRow("rate zero") << bytes(withFormat([](WaveShape &s) { s.rate = 0; }));
    QTest::newRow("16-bit float") << bytes(withFormat([](WaveShape &s) {
        s.tag = tagFloat;
        s.bits = 16;
    }));
    QTest::newRow("40-bit integer") << bytes(withFormat([](WaveShape &s) { s.bits = 40; }));

    QByteArray zeroAlign = fmtBody(shape);
    zeroAlign[12] = 0;
    zeroAlign[13] = 0;
    QTest::newRow("block align zero") << bytes(riff(chunk("fmt ", zeroAlign) + chunk("data", squareData(shape, 10))));

    QByteArray strangeGuid = fmtBody([] {
        WaveShape s;
        s.extensible = true;
        return s;
    }());
    strangeGuid[39] = 0x00;
    QTest::newRow("extensible with unknown subformat")
        << bytes(riff(chunk("fmt ", strangeGuid) + chunk("data", squareData(shape, 10))));

    QTest::newRow("directory of that name")
        << FileMaker([](const QString &path) { return QDir().mkdir(path); });
    QTest::newRow("larger than the cap") << FileMaker([](const QString &path) {
        QFile file(path);
        // A sparse file: it claims 60 MB without using the disk.
        return file.open(QIODevice::WriteOnly) && file.write(squareWave(WaveShape(), 10)) > 0
            && file.resize(60 * 1024 * 1024);
    });
#ifdef Q_OS_UNIX
    QTest::newRow("named pipe") << FileMaker([](const QString &path) {
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    });
#endif
}

void tst_MediaControl::refusesBadFiles()
{
    QFETCH(FileMaker, make);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("Zikan.wav"));
    QVERIFY(make(path));

    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    QSignalSpy started(&control, &MediaControl::playStarted);
    control.setFileName(path);
    control.setCommand(QStringLiteral("Open"));
    QCOMPARE(errors.count(), 1);
    QVERIFY(!errors.first().first().toString().isEmpty());
    QVERIFY(!control.isOpen());

    // The countdown goes on and sends Prev and Play at 0:00: both are dropped.
    control.setCommand(QStringLiteral("Prev"));
    control.setCommand(QStringLiteral("Play"));
    QCOMPARE(errors.count(), 2);
    QCOMPARE(started.count(), 0);
    QVERIFY(!control.isPlaying());
}

void tst_MediaControl::repeatedOpenReadsOnce_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("opens");
    QTest::addColumn<bool>("good");

    // The countdown sends Open once a second.
    QTest::newRow("good file, an hour of ticks") << squareWave(WaveShape(), 441) << 3600 << true;
    QTest::newRow("bad file, a minute of ticks") << QByteArray("not a sound at all") << 60 << false;
}

void tst_MediaControl::repeatedOpenReadsOnce()
{
    QFETCH(QByteArray, content);
    QFETCH(int, opens);
    QFETCH(bool, good);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Zikan.wav"));
    QVERIFY(writeFile(path, content));

    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    control.setFileName(path);
    for (int second = 0; second < opens; ++second)
        control.setCommand(QStringLiteral("Open"));
    QCOMPARE(control.readCount(), 1);
    QCOMPARE(control.isOpen(), good);
    // A bad file is still refused each time, from what the one reading found.
    QCOMPARE(errors.count(), good ? 0 : opens);
    if (good)
        QCOMPARE(control.sound().frameCount(), qsizetype(441));
}

void tst_MediaControl::changedFileIsPickedUp_data()
{
    QTest::addColumn<QByteArray>("before");   // empty: no file yet
    QTest::addColumn<QByteArray>("after");    // empty: taken away
    QTest::addColumn<bool>("byRename");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("firstSample");

    QTest::newRow("rewritten longer") << mono16({1, 2}) << mono16({1000, 2000, 3000}) << false << 3 << 1000;
    QTest::newRow("rewritten same size") << mono16({1, 2}) << mono16({-5, 6}) << false << 2 << -5;
    QTest::newRow("replaced by rename") << mono16({1, 2}) << mono16({7, 8, 9, 10}) << true << 4 << 7;
    QTest::newRow("dropped in mid-run") << QByteArray() << mono16({42, 43, 44}) << false << 3 << 42;
    // The sound already open stays; the Open itself is refused.
    QTest::newRow("taken away") << mono16({1, 2}) << QByteArray() << false << 2 << 1;
}

void tst_MediaControl::changedFileIsPickedUp()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(bool, byRename);
    QFETCH(int, frames);
    QFETCH(int, firstSample);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Zikan.wav"));
    if (!before.isEmpty()) {
        QVERIFY(writeFile(path, before));
        // Older, as a file put in place before the run would be.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    }

    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    control.setFileName(path);
    control.setCommand(QStringLiteral("Open"));
    control.setCommand(QStringLiteral("Open"));
    const int reads = before.isEmpty() ? 0 : 1;
    QCOMPARE(control.readCount(), reads);
    QCOMPARE(control.isOpen(), !before.isEmpty());
    QCOMPARE(errors.count(), before.isEmpty() ? 2 : 0);
    errors.clear();

    if (after.isEmpty()) {
        QVERIFY(QFile::remove(path));
    } else if (byRename) {
        const QString staged = folder.filePath(QStringLiteral("new.wav"));
        QVERIFY(writeFile(staged, after));
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::rename(staged, path));
    } else {
        QVERIFY(writeFile(path, after));
    }

    control.setCommand(QStringLiteral("Open"));
    QCOMPARE(errors.count(), after.isEmpty() ? 1 : 0);
    const int readsAfter = reads + (after.isEmpty() ? 0 : 1);
    QCOMPARE(control.readCount(), readsAfter);
    QVERIFY(control.isOpen());
    QCOMPARE(control.sound().frameCount(), qsizetype(frames));
    QCOMPARE(int(control.sound().samples.front()), firstSample);
    control.setCommand(QStringLiteral("Open"));
    QCOMPARE(control.readCount(), readsAfter);
}

void tst_MediaControl::rendersForDevice_data()
{
    QTest::addColumn<QVector<qint16>>("input");   // interleaved
    QTest::addColumn<int>("inChannels");
    QTest::addColumn<int>("inRate");
    QTest::addColumn<int>("fromFrame");
    QTest::addColumn<QAudioFormat>("format");
    QTest::addColumn<QVector<double>>("expected");   // interleaved, in the format's own units

    const QVector<qint16> ramp{0, 100, 200, 300};
    QTest::newRow("same format is copied")
        << ramp << 1 << 44100 << 0 << audioFormat(44100, 1, QAudioFormat::Int16) << QVector<double>{0, 100, 200, 300};
    QTest::newRow("from the middle")
        << ramp << 1 << 44100 << 2 << audioFormat(44100, 1, QAudioFormat::Int16) << QVector<double>{200, 300};
    QTest::newRow("mono to stereo")
        << QVector<qint16>{-7, 9} << 1 << 48000 << 0 << audioFormat(48000, 2, QAudioFormat::Int16)
        << QVector<double>{-7, -7, 9, 9};
    QTest::newRow("stereo to mono averages")
        << QVector<qint16>{100, 300, -1000, 1000} << 2 << 44100 << 0 << audioFormat(44100, 1, QAudioFormat::Int16)
        << QVector<double>{200, 0};
    QTest::newRow("22050 to 44100 interpolates")
        << ramp << 1 << 22050 << 0 << audioFormat(44100, 1, QAudioFormat::Int16)
        << QVector<double>{0, 50, 100, 150, 200, 250, 300, 300};
    QTest::newRow("8000 to 48000 stereo")
        << QVector<qint16>{0, 600} << 1 << 8000 << 0 << audioFormat(48000, 2, QAudioFormat::Int16)
        << QVector<double>{0, 0, 100, 100, 200, 200, 300, 300, 400, 400, 500, 500,
                           600, 600, 600, 600, 600, 600, 600, 600, 600, 600, 600, 600};
    QTest::newRow("48000 to 24000 drops every other")
        << ramp << 1 << 48000 << 0 << audioFormat(24000, 1, QAudioFormat::Int16) << QVector<double>{0, 200};
    QTest::newRow("to float")
        << QVector<qint16>{-32768, 16384, 0} << 1 << 44100 << 0 << audioFormat(44100, 1, QAudioFormat::Float)
        << QVector<double>{-1.0, 0.5, 0.0};
    QTest::newRow("to 32-bit")
        << QVector<qint16>{-32768, 1, 32767} << 1 << 44100 << 0 << audioFormat(44100, 1, QAudioFormat::Int32)
        << QVector<double>{-2147483648.0, 65536.0, 2147418112.0};
    QTest::newRow("to 8-bit unsigned")
        << QVector<qint16>{-32768, 0, 16384, 32767} << 1 << 44100 << 0 << audioFormat(44100, 1, QAudioFormat::UInt8)
        << QVector<double>{0, 128, 192, 255};
}

void tst_MediaControl::rendersForDevice()
{
    QFETCH(QVector<qint16>, input);
    QFETCH(int, inChannels);
    QFETCH(int, inRate);
    QFETCH(int, fromFrame);
    QFETCH(QAudioFormat, format);
    QFETCH(QVector<double>, expected);

    WaveSound sound;
    sound.sampleRate = inRate;
    sound.channels = inChannels;
    sound.samples.assign(input.cbegin(), input.cend());

    const QByteArray out = renderWave(sound, fromFrame, format);
    QCOMPARE(out.size(), qsizetype(expected.size() * format.bytesPerSample()));
    for (int i = 0; i < expected.size(); ++i) {
        const char *p = out.constData() + i * format.bytesPerSample();
        const double got = format.sampleFormat() == QAudioFormat::UInt8   ? quint8(*p)
                           : format.sampleFormat() == QAudioFormat::Int16 ? qFromLittleEndian<qint16>(p)
                           : format.sampleFormat() == QAudioFormat::Int32 ? qFromLittleEndian<qint32>(p)
                                                                           : qFromLittleEndian<float>(p);
        QVERIFY2(std::abs(got - expected[i]) < 1e-6,
                 qPrintable(QStringLiteral("sample %1: %2, wanted %3").arg(i).arg(got).arg(expected[i])));
    }
}

void tst_MediaControl::playWithoutServerIsRefusedPromptly()
{
    const QString path = m_dir.filePath(QStringLiteral("Zikan.wav"));
    QVERIFY(writeFile(path, squareWave(WaveShape(), 4410)));

    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    QSignalSpy started(&control, &MediaControl::playStarted);
    control.setFileName(path);
    control.setCommand(QStringLiteral("Open"));
    QCOMPARE(errors.count(), 0);

    QElapsedTimer elapsed;
    elapsed.start();
    control.setCommand(QStringLiteral("Prev"));
    control.setCommand(QStringLiteral("Play"));
    QCOMPARE(errors.count(), 1);
    QVERIFY(!control.isPlaying());
    QVERIFY2(elapsed.elapsed() < 5000, "Play must not hold up the exam window");
    QTest::qWait(0);
    QCOMPARE(started.count(), 0);
}

void tst_MediaControl::otherCommandsAreIgnored()
{
    const QString path = m_dir.filePath(QStringLiteral("Zikan.wav"));
    QVERIFY(writeFile(path, squareWave(WaveShape(), 10)));

    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    control.setFileName(path);
    control.setCommand(QStringLiteral("Eject"));
    control.setCommand(QString());
    QCOMPARE(errors.count(), 0);
    QVERIFY(!control.isOpen());
    QCOMPARE(control.readCount(), 0);
}

QTEST_MAIN(tst_MediaControl)
#include "tst_mediacontrol.moc"
