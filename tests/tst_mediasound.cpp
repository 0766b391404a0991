// The time-up sound played for real: a private sound server with a null sink stands in
// for the speakers, and what reaches the sink is recorded from its monitor and measured.

#include "mediacontrol.h"
#include "soundlistener.h"
#include "wavefiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

using namespace wavefile;

using sound::recordRate;
using sound::rms;

// A 440 Hz tone at half of full scale.
QByteArray toneWave(quint16 tag, int bits, int channels, int rate, int milliseconds)
{
    WaveShape shape;
    shape.tag = tag;
    shape.bits = bits;
    shape.channels = channels;
    shape.rate = rate;
    QByteArray data;
    const int frames = rate * milliseconds / 1000;
    for (int f = 0; f < frames; ++f) {
        const double value = 0.5 * std::sin(2.0 * M_PI * 440.0 * f / rate);
        for (int c = 0; c < channels; ++c)
            data.append(encodeSample(value, shape));
    }
    return riff(chunk("fmt ", fmtBody(shape)) + chunk("data", data));
}

// How long the recording is louder than a whisper, in 10 ms windows.
int loudMilliseconds(const QByteArray &pcm)
{
    const qsizetype window = recordRate / 100 * 2;
    int loud = 0;
    for (qsizetype at = 0; at + window <= pcm.size(); at += window)
        if (rms(pcm.mid(at, window)) > 1000.0)
            loud += 10;
    return loud;
}

} // namespace

class tst_MediaSound : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void timeUpSoundReachesTheSpeakers_data();
    void timeUpSoundReachesTheSpeakers();
    void playWhilePlayingStartsAgain();

private:
    std::unique_ptr<sound::Server> m_server;
    QTemporaryDir m_files;
};

void tst_MediaSound::initTestCase()
{
    QVERIFY(m_files.isValid());
    m_server = std::make_unique<sound::Server>();
    const QString unavailable = m_server->start();
    if (unavailable.startsWith(QLatin1String("pulseaudio is not installed")))
        QSKIP(qPrintable(unavailable));
    QVERIFY2(unavailable.isEmpty(), qPrintable(unavailable));
}

void tst_MediaSound::cleanupTestCase()
{
    m_server.reset();
}

void tst_MediaSound::timeUpSoundReachesTheSpeakers_data()
{
    QTest::addColumn<QString>("shippedFile");   // under the source tree; empty for a made tone
    QTest::addColumn<QByteArray>("wave");
    QTest::addColumn<int>("minimumLoudMs");

    QTest::newRow("shipped Zikan.wav") << QStringLiteral("resources/Zikan.wav") << QByteArray() << 0;
    // The shapes the stock sound-effect player refuses or that need converting.
    QTest::newRow("32-bit tone 22050 Hz mono") << QString() << toneWave(1, 32, 1, 22050, 600) << 400;
    QTest::newRow("8-bit tone 8000 Hz stereo") << QString() << toneWave(1, 8, 2, 8000, 600) << 400;
    QTest::newRow("float tone 48000 Hz stereo") << QString() << toneWave(3, 32, 2, 48000, 600) << 400;
    QTest::newRow("24-bit tone 44100 Hz mono") << QString() << toneWave(1, 24, 1, 44100, 600) << 400;
}

void tst_MediaSound::timeUpSoundReachesTheSpeakers()
{
    QFETCH(QString, shippedFile);
    QFETCH(QByteArray, wave);
    QFETCH(int, minimumLoudMs);

    QString path;
    if (!shippedFile.isEmpty()) {
        path = QStringLiteral(SOURCE_DIR "/") + shippedFile;
        if (!QFile::exists(path))
            QSKIP("the program's own time-up sound is not in resources yet");
    } else {
        path = m_files.filePath(QStringLiteral("Zikan.wav"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(wave), wave.size());
    }

    sound::Recorder recorder(m_server->sink());
    QVERIFY(recorder.waitUntilListening());
    const double silence = rms(recorder.takeRecording());

    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    QSignalSpy started(&control, &MediaControl::playStarted);
    QSignalSpy finished(&control, &MediaControl::playFinished);
    control.setFileName(path);
    control.setCommand(QStringLiteral("Open"));
    QCOMPARE(errors.count(), 0);
    const double seconds = double(control.sound().frameCount()) / control.sound().sampleRate;

    // What the exam window does at 0:00.
    QElapsedTimer held;
    held.start();
    control.setCommand(QStringLiteral("Prev"));
    control.setCommand(QStringLiteral("Play"));
    QVERIFY2(held.elapsed() < 2000, "Play must return at once and play in the background");
    QVERIFY2(errors.isEmpty(), errors.isEmpty() ? "" : qPrintable(errors.first().first().toString()));
    QVERIFY(started.wait(5000));
    QVERIFY(finished.wait(int(seconds * 1000) + 5000));
    QVERIFY(!control.isPlaying());

    // The last of it reaches the monitor a little after the device lets go.
    QTRY_VERIFY_WITH_TIMEOUT(recorder.recordedMs() >= qsizetype(seconds * 1000), 5000);
    const QByteArray recording = recorder.stop();

    const double loudness = rms(recording);
    qInfo("silence before: RMS %.1f; while playing %.2f s of sound: RMS %.1f, loud for %d ms", silence, seconds,
          loudness, loudMilliseconds(recording));
    QVERIFY2(silence < 50.0, "the null sink was not silent before Play");
    QVERIFY2(loudness > 500.0, "nothing was heard when the time-up sound played");
    QVERIFY(loudMilliseconds(recording) >= minimumLoudMs);
    QCOMPARE(errors.count(), 0);
}

void tst_MediaSound::playWhilePlayingStartsAgain()
{
    const QString path = m_files.filePath(QStringLiteral("again.wav"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const QByteArray wave = toneWave(1, 16, 1, 44100, 800);
        QCOMPARE(file.write(wave), wave.size());
    }

    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    QSignalSpy started(&control, &MediaControl::playStarted);
    QSignalSpy finished(&control, &MediaControl::playFinished);
    control.setFileName(path);
    control.setCommand(QStringLiteral("Open"));
    control.setCommand(QStringLiteral("Play"));
    QVERIFY(started.wait(5000));

    control.setCommand(QStringLiteral("Play"));
    QVERIFY(control.isPlaying());
    QVERIFY(started.wait(5000));
    QVERIFY(finished.wait(5000));
    QCOMPARE(started.count(), 2);
    QCOMPARE(finished.count(), 1);

    // Played to the end: without Prev there is nothing left to play.
    control.setCommand(QStringLiteral("Play"));
    QVERIFY(!control.isPlaying());
    control.setCommand(QStringLiteral("Prev"));
    control.setCommand(QStringLiteral("Play"));
    QVERIFY(control.isPlaying());
    QVERIFY(started.wait(5000));
    QCOMPARE(errors.count(), 0);
}

QTEST_MAIN(tst_MediaSound)
#include "tst_mediasound.moc"
