// The time-up sound at 0:00, heard for real through a private sound server, and a run
// that still ends at 0:00 when the sound file beside the program is missing or broken.
#include "examfixture.h"
#include "examtesting.h"
#include "examwindow.h"
#include "mediacontrol.h"
#include "soundlistener.h"
#include "wavefiles.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

class ExamSoundTest : public ExamWindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void chimeIsHeardAtTimeUp();
    void scoreBeforeTimeUpPlaysNothing();
    void runEndsWithoutAGoodSoundFile_data();
    void runEndsWithoutAGoodSoundFile();

private:
    // Runs the countdown down to 0:00 through the injected clock, one tick a second
    // for the last minute.
    void runToTimeUp();
    QString soundFile() const;

    std::unique_ptr<sound::Server> m_server;
    QString m_serverUnavailable;
    QByteArray m_savedSound;
    MediaControl *m_media = nullptr;
};

// The program reads its time-up sound from its own folder: for this test, the test's folder.
QString ExamSoundTest::soundFile() const
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(NIHONSHIB_TIME_UP_SOUND));
}

void ExamSoundTest::initTestCase()
{
    QFile shipped(QStringLiteral(SOURCE_DIR "/resources/" NIHONSHIB_TIME_UP_SOUND));
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    m_savedSound = shipped.readAll();
    m_server = std::make_unique<sound::Server>();
    m_serverUnavailable = m_server->start();
}

void ExamSoundTest::cleanupTestCase()
{
    QFile::remove(soundFile());
    m_server.reset();
}

void ExamSoundTest::init()
{
    QFile::remove(soundFile());
    QFile file(soundFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(m_savedSound);
    file.close();

    QVERIFY(openWindow());
    m_media = m_window->findChild<MediaControl *>(name("MMControl1"));
    QVERIFY(m_media);
}

void ExamSoundTest::runToTimeUp()
{
    m_clock.setWall(QTime(13, 0, 40));
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmdスタート")), Qt::LeftButton);
    m_clock.advanceTo(QTime(13, 59, 30));
    auto *timer = m_window->findChild<QTimer *>(name("tmr時間"));
    for (int i = 0; i < 120 && timer->isActive(); ++i) {
        m_window->onTimerTick();
        m_clock.advance(1000);
    }
}

void ExamSoundTest::chimeIsHeardAtTimeUp()
{
    if (m_serverUnavailable.startsWith(QLatin1String("pulseaudio is not installed")))
        QSKIP(qPrintable(m_serverUnavailable));
    QVERIFY2(m_serverUnavailable.isEmpty(), qPrintable(m_serverUnavailable));

    sound::Recorder recorder(m_server->sink());
    QVERIFY(recorder.waitUntilListening());
    QSignalSpy started(m_media, &MediaControl::playStarted);
    QSignalSpy finished(m_media, &MediaControl::playFinished);

    // Up to 0:01 nothing is heard.
    m_clock.setWall(QTime(13, 0, 40));
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmdスタート")), Qt::LeftButton);
    m_clock.advanceTo(QTime(13, 59, 59));
    m_window->onTimerTick();
    QCOMPARE(m_window->findChild<QLabel *>(name("lbl秒"))->text(), QStringLiteral("0:01"));
    QTest::qWait(300);
    QCOMPARE(started.count(), 0);
    const double silence = sound::rms(recorder.takeRecording());

    m_clock.advance(1000);
    m_window->onTimerTick();
    QCOMPARE(m_window->findChild<QLabel *>(name("lbl秒"))->text(), QStringLiteral("0:00"));
    QVERIFY(started.wait(5000));
    QVERIFY(finished.wait(10000));
    const qint64 soundMs = m_media->sound().durationMs();
    QTRY_VERIFY_WITH_TIMEOUT(recorder.recordedMs() >= soundMs, 5000);
    const QByteArray recording = recorder.stop();

    QVERIFY2(silence < 50.0, qPrintable(QStringLiteral("RMS before time-up %1").arg(silence)));
    const double loudness = sound::rms(recording);
    QVERIFY2(loudness > 500.0, qPrintable(QStringLiteral("RMS at time-up %1").arg(loudness)));
    // Played once: the timer is off, so no later tick plays it again.
    QVERIFY(!m_window->findChild<QTimer *>(name("tmr時間"))->isActive());
    QTest::qWait(1500);
    QCOMPARE(started.count(), 1);
}

void ExamSoundTest::scoreBeforeTimeUpPlaysNothing()
{
    QSignalSpy started(m_media, &MediaControl::playStarted);
    m_clock.setWall(QTime(13, 0, 40));
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmdスタート")), Qt::LeftButton);
    m_clock.advanceTo(QTime(13, 59, 59));
    m_window->onTimerTick();
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmd得点")), Qt::LeftButton);
    QVERIFY(!m_window->findChild<QTimer *>(name("tmr時間"))->isActive());
    QVERIFY(!m_media->isPlaying());
    QTest::qWait(500);
    QCOMPARE(started.count(), 0);
}

void ExamSoundTest::runEndsWithoutAGoodSoundFile_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("present");
    QTest::newRow("missing") << QByteArray() << false;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("not a wave file") << QByteArray("This is not a sound, just text.\n") << true;
    QTest::newRow("cut off in the header") << QByteArray("RIFF\x24\x08\x00\x00WAVEfmt ", 16) << true;
    // A good wave file at a rate no audio output takes: a second of it at 49 Hz and at 1 Hz.
    for (const int rate : {49, 1}) {
        using namespace wavefile;
        const WaveShape shape{tagPcm, 16, 1, rate};
        QByteArray data;
        for (int frame = 0; frame < rate; ++frame)
            data.append(encodeSample(frame % 2 ? 0.5 : -0.5, shape));
        QTest::addRow("%d Hz", rate) << riff(chunk("fmt ", fmtBody(shape)) + chunk("data", data)) << true;
    }
}

void ExamSoundTest::runEndsWithoutAGoodSoundFile()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, present);

    QFile::remove(soundFile());
    if (present) {
        QFile file(soundFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    QSignalSpy errors(m_media, &MediaControl::error);
    runToTimeUp();
    QCOMPARE(m_window->findChild<QLabel *>(name("lbl秒"))->text(), QStringLiteral("0:00"));
    QVERIFY(!m_window->findChild<QTimer *>(name("tmr時間"))->isActive());
    // The sound file is read and the sound given up in the background; the window goes on.
    QTRY_VERIFY_WITH_TIMEOUT(!errors.isEmpty() && !m_media->isPlaying() && !m_media->isReading(), 10000);
    // No error dialog stands in the student's way.
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY2(widget == m_window || !widget->isVisible(), qPrintable(widget->objectName()));
    QVERIFY(QApplication::activeModalWidget() == nullptr);

    // Nothing plays later on, and 得　点 still answers.
    QTest::qWait(500);
    QVERIFY(!m_media->isPlaying());
    QTest::mouseClick(m_window->findChild<QPushButton *>(name("cmd得点")), Qt::LeftButton);
    QVERIFY(!m_window->findChild<QLabel *>(name("lbl得点"))->text().isEmpty());
}

QTEST_MAIN(ExamSoundTest)
#include "tst_examsound.moc"
