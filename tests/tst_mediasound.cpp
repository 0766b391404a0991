// The time-up sound played for real: a private sound server with a null sink stands in
// for the speakers, and what reaches the sink is recorded from its monitor and measured.

#include "busyaudiothread.h"
#include "childtesting.h"
#include "mediacontrol.h"
#include "soundlistener.h"
#include "soundmodule.h"
#include "wavefiles.h"

#include <QAudioSink>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QSignalSpy>
#include <QThread>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <memory>

#include <dlfcn.h>
#include <pulse/stream.h>

namespace {

using namespace wavefile;

// Drain requests made to the sound server with a callback into the caller's object.
std::atomic<int> drainsCallingBack{0};

using sound::recordRate;
using sound::rms;

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
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

// A media control with the file open, and spies on what it reports from then on.
struct OpenedSound
{
    explicit OpenedSound(const QString &path)
    {
        control.setFileName(path);
        control.setCommand(QStringLiteral("Open"));
    }

    MediaControl control;
    QSignalSpy errors{&control, &MediaControl::error};
    QSignalSpy started{&control, &MediaControl::playStarted};
    QSignalSpy finished{&control, &MediaControl::playFinished};
};

} // namespace

// Seen before the sound server's client library sees it: a drain requested by Qt
// Multimedia's output with a callback into itself, which closing the output does not
// cancel. Completing after the output is deleted, it calls into freed memory.
extern "C" pa_operation *pa_stream_drain(pa_stream *stream, pa_stream_success_cb_t callback, void *userdata)
{
    using Drain = pa_operation *(*)(pa_stream *, pa_stream_success_cb_t, void *);
    static const auto drain = reinterpret_cast<Drain>(dlsym(RTLD_NEXT, "pa_stream_drain"));
    if (userdata)
        ++drainsCallingBack;
    return drain(stream, callback, userdata);
}

class tst_MediaSound : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void timeUpSoundReachesTheSpeakers_data();
    void timeUpSoundReachesTheSpeakers();
    void playWhilePlayingStartsAgain();
    void audioThreadStillBusyAtExit();

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
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("wave");   // written to path first, unless empty
    QTest::addColumn<int>("minimumLoudMs");

    const QString made = m_files.filePath(QStringLiteral("sound.wav"));
    QTest::newRow("the shipped sound") << QStringLiteral(SOURCE_DIR "/resources/" NIHONSHIB_TIME_UP_SOUND) << QByteArray() << 0;
    // Played at the file's own rate and channels, mono and stereo, for as long as it
    // lasts; the sample formats themselves are tst_mediacontrol's decoding table.
    // WaveShape{tag, bits, channels, rate}.
    QTest::newRow("32-bit tone 22050 Hz mono") << made << toneWave({tagPcm, 32, 1, 22050}, 600) << 400;
    QTest::newRow("8-bit tone 8000 Hz stereo") << made << toneWave({tagPcm, 8, 2, 8000}, 600) << 400;
}

void tst_MediaSound::timeUpSoundReachesTheSpeakers()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, wave);
    QFETCH(int, minimumLoudMs);
    if (!wave.isEmpty())
        QVERIFY(writeFile(path, wave));

    sound::Recorder recorder(m_server->sink());
    QVERIFY(recorder.waitUntilListening());
    const double silence = rms(recorder.takeRecording());

    OpenedSound opened(path);
    MediaControl &control = opened.control;
    QSignalSpy &errors = opened.errors, &started = opened.started, &finished = opened.finished;
    QVERIFY(QTest::qWaitFor([&control] { return !control.isReading(); }, 10000));
    QCOMPARE(errors.count(), 0);
    const double seconds = double(control.sound().durationMs()) / 1000.0;

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
    // Played to its end, the output ran dry without leaving a drain that calls back into it.
    QCOMPARE(drainsCallingBack.load(), 0);
}

void tst_MediaSound::playWhilePlayingStartsAgain()
{
    const QString path = m_files.filePath(QStringLiteral("again.wav"));
    QVERIFY(writeFile(path, toneWave(WaveShape(), 800)));

    OpenedSound opened(path);
    MediaControl &control = opened.control;
    QSignalSpy &errors = opened.errors, &started = opened.started, &finished = opened.finished;
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

// The program ends while the audio thread is still at work with the audio library (as
// a loaded machine makes it, closing an output): the end must wait for it, not tear
// the library down under it. Run in a child process of this test, whose exit is watched.
void tst_MediaSound::audioThreadStillBusyAtExit()
{
    if (!inTestChild()) {
        const QString failure = failureOfChild(QCoreApplication::applicationFilePath(), QTest::currentTestFunction());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        return;
    }

    const QString path = m_files.filePath(QStringLiteral("busy.wav"));
    QVERIFY(writeFile(path, toneWave(WaveShape(), 300)));
    OpenedSound opened(path);
    QVERIFY(QTest::qWaitFor([&opened] { return opened.control.isOpen(); }, 10000));
    opened.control.setCommand(QStringLiteral("Play"));
    QVERIFY(opened.started.wait(5000));
    QVERIFY(opened.finished.wait(5000));
    // Outputs opened and closed in the audio thread for a while after the test has returned.
    QVERIFY(loadedSoundModule());
    keepAudioThreadBusy(loadedSoundModule()->audioThread(), 1500);
}

QTEST_MAIN(tst_MediaSound)
#include "tst_mediasound.moc"
