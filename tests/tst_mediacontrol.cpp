// The time-up sound device without a sound server: the wave flavours a user might drop
// in as the time-up sound, bad files refused quietly and logged once, and the file read away
// from the window's thread, again only when it has changed; the sound module loaded
// there too, and a module that cannot be loaded taken as a file that cannot be read.

#include "childtesting.h"
#include "mediacontrol.h"
#include "soundfilereader.h"
#include "soundmodule.h"
#include "wavefiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>
#include <optional>

#include <cstdio>

#include <sys/stat.h>

namespace {

using namespace wavefile;

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A 16-bit mono file of the given number of frames, each frame holding its own index.
QByteArray countingWave(int frames)
{
    QByteArray data;
    for (int f = 0; f < frames; ++f)
        putLe16(data, quint16(f));
    return riff(chunk("fmt ", fmtBody(WaveShape())) + chunk("data", data));
}

double rms16(const QByteArray &samples)
{
    const auto *s = reinterpret_cast<const qint16 *>(samples.constData());
    const qsizetype count = samples.size() / 2;
    double sum = 0.0;
    for (qsizetype i = 0; i < count; ++i)
        sum += double(s[i]) * s[i];
    return count ? std::sqrt(sum / double(count)) : 0.0;
}

// Open as the exam window sends it, then wait until the file has been read.
bool openAndRead(MediaControl &control)
{
    control.setCommand(QStringLiteral("Open"));
    return QTest::qWaitFor([&control] { return !control.isReading(); }, 10000);
}

// A 16-bit mono file at the given rate, a tenth of a second long (at least one frame).
QByteArray waveAtRate(int rate)
{
    const WaveShape shape{tagPcm, 16, 1, rate};
    QByteArray data;
    for (int f = 0; f < std::max(rate / 10, 1); ++f)
        data.append(encodeSample(0.5, shape));
    return riff(chunk("fmt ", fmtBody(shape)) + chunk("data", data));
}

// The warnings the sound device logs, while one lives.
class MediaWarnings
{
public:
    MediaWarnings()
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&MediaWarnings::handle);
    }
    ~MediaWarnings()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    QStringList messages() const { return m_messages; }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (type == QtWarningMsg && qstrcmp(context.category, "nihonshib.media") == 0)
            s_current->m_messages << message;
        s_current->m_previous(type, context, message);
    }

    static inline MediaWarnings *s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    QStringList m_messages;
};

using FileMaker = std::function<bool(const QString &)>;

FileMaker bytes(const QByteArray &content)
{
    return [content](const QString &path) { return writeFile(path, content); };
}

// A 440 Hz tone at half of full scale, half a second long, written by sox.
FileMaker soxTone(const QStringList &encoding, int rate, int channels, const QString &type = QStringLiteral("wav"))
{
    return [=](const QString &path) {
        return QProcess::execute(QStringLiteral("sox"),
                                 QStringList{QStringLiteral("-n"), QStringLiteral("-r"), QString::number(rate),
                                             QStringLiteral("-c"), QString::number(channels)}
                                     + encoding
                                     + QStringList{QStringLiteral("-t"), type, path, QStringLiteral("synth"),
                                                   QStringLiteral("0.5"), QStringLiteral("sine"),
                                                   QStringLiteral("440"), QStringLiteral("vol"),
                                                   QStringLiteral("0.5")})
            == 0;
    };
}

} // namespace

Q_DECLARE_METATYPE(FileMaker)

class tst_MediaControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void decodesWaveFlavours_data();
    void decodesWaveFlavours();
    void floatSamplesAreClipped();
    void refusesBadFiles_data();
    void refusesBadFiles();
    void failuresAreLoggedOncePerCause();
    void readsAwayFromTheWindowThread();
    void playWaitsForTheRead();
    void fileThatKeepsChangingIsReadOncePerInterval();
    void repeatedOpenReadsOnce_data();
    void repeatedOpenReadsOnce();
    void changedFileIsPickedUp_data();
    void changedFileIsPickedUp();
    void playWithoutServerFailsQuietly();
    void otherCommandsAreIgnored();
    void firstOpenLoadsTheSoundModuleInTheBackground();
    void withoutTheSoundModule_data();
    void withoutTheSoundModule();

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

void tst_MediaControl::decodesWaveFlavours_data()
{
    QTest::addColumn<FileMaker>("make");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("frames");
    QTest::addColumn<double>("level");   // RMS on the 16-bit scale

    // A sine at half of full scale: an RMS of 0.5 / √2 · 32768.
    const double sine = 11585.0;
    const auto e = [](const char *encoding, const char *bits = nullptr) {
        QStringList args{QStringLiteral("-e"), QLatin1String(encoding)};
        if (bits)
            args << QStringLiteral("-b") << QLatin1String(bits);
        return args;
    };
    QTest::newRow("8-bit 8000 Hz mono") << soxTone(e("unsigned", "8"), 8000, 1) << 8000 << 1 << 4000 << sine;
    QTest::newRow("16-bit 44100 Hz stereo") << soxTone(e("signed", "16"), 44100, 2) << 44100 << 2 << 22050 << sine;
    QTest::newRow("24-bit 48000 Hz mono") << soxTone(e("signed", "24"), 48000, 1) << 48000 << 1 << 24000 << sine;
    QTest::newRow("32-bit float 22050 Hz stereo") << soxTone(e("float", "32"), 22050, 2) << 22050 << 2 << 11025 << sine;
    QTest::newRow("64-bit float 16000 Hz mono") << soxTone(e("float", "64"), 16000, 1) << 16000 << 1 << 8000 << sine;
    QTest::newRow("mu-law 8000 Hz mono") << soxTone(e("u-law"), 8000, 1) << 8000 << 1 << 4000 << sine;
    QTest::newRow("IMA ADPCM 22050 Hz mono") << soxTone(e("ima-adpcm"), 22050, 1) << 22050 << 1 << 11025 << sine;
    QTest::newRow("MS ADPCM 11025 Hz stereo") << soxTone(e("ms-adpcm"), 11025, 2) << 11025 << 2 << 5512 << sine;
    // The highest rate an output takes.
    QTest::newRow("16-bit 384000 Hz mono") << bytes(waveAtRate(384000)) << 384000 << 1 << 38400 << 16384.0;

    // Header promises 1000 frames; 10 and a half are there.
    QByteArray half;
    for (int f = 0; f < 10; ++f)
        half.append(encodeSample(0.5, WaveShape()));
    half.append('\x01');
    QTest::newRow("data cut short") << bytes(riff(chunk("fmt ", fmtBody(WaveShape())) + cutChunk("data", half, 2000)))
                                    << 44100 << 1 << 10 << 16384.0;
}

void tst_MediaControl::decodesWaveFlavours()
{
    QFETCH(FileMaker, make);
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, frames);
    QFETCH(double, level);
    if (QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty())
        QSKIP("sox (a test dependency) is not installed to write the wave flavours");

    const QString path = m_dir.filePath(QStringLiteral("sound.wav"));
    QFile::remove(path);
    QVERIFY(make(path));
    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    control.setFileName(path);
    QVERIFY(openAndRead(control));
    QVERIFY2(errors.isEmpty(), errors.isEmpty() ? "" : qPrintable(errors.first().first().toString()));
    QVERIFY(control.isOpen());

    const DecodedSound &sound = control.sound();
    QCOMPARE(sound.sampleRate, rate);
    QCOMPARE(sound.channels, channels);
    // ADPCM comes in blocks, so the last block may carry a few frames more.
    QVERIFY2(sound.frameCount() >= frames && sound.frameCount() <= frames + 1024,
             qPrintable(QString::number(sound.frameCount())));
    const double heard = rms16(sound.samples);
    QVERIFY2(std::abs(heard - level) < 600.0, qPrintable(QString::number(heard)));
}

void tst_MediaControl::floatSamplesAreClipped()
{
    const WaveShape shape{tagFloat, 32};
    QByteArray data;
    for (double value : {2.0, -2.0, std::nan(""), 0.5})
        data.append(encodeSample(value, shape));
    const QString path = m_dir.filePath(QStringLiteral("sound.wav"));
    QVERIFY(writeFile(path, riff(chunk("fmt ", fmtBody(shape)) + chunk("data", data))));

    MediaControl control;
    control.setFileName(path);
    QVERIFY(openAndRead(control));
    QVERIFY(control.isOpen());
    const auto *samples = reinterpret_cast<const qint16 *>(control.sound().samples.constData());
    QCOMPARE(QList<qint16>(samples, samples + control.sound().frameCount()), (QList<qint16>{32767, -32768, 0, 16384}));
}

void tst_MediaControl::refusesBadFiles_data()
{
    // Each row builds its sound.wav (or leaves it out) in an empty folder.
    QTest::addColumn<FileMaker>("make");

    const QByteArray fmt = chunk("fmt ", fmtBody(WaveShape()));
    QTest::newRow("missing") << FileMaker([](const QString &) { return true; });
    QTest::newRow("empty") << bytes(QByteArray());
    QTest::newRow("header only") << bytes(riff(QByteArray()));
    QTest::newRow("cut off in the header") << bytes(QByteArray("RIFF\x24\x08\x00\x00WAVEfmt ", 16));
    QTest::newRow("fmt without data") << bytes(riff(fmt));
    QTest::newRow("data shorter than one frame") << bytes(riff(fmt + cutChunk("data", QByteArray(1, '\x01'), 400)));
    QTest::newRow("text") << bytes(QStringLiteral("これは音声ではありません\n").toUtf8());
    QTest::newRow("riff but not wave") << bytes(QByteArray("RIFF\x04\0\0\0AVI ", 12));
    QTest::newRow("AIFF sound") << soxTone({QStringLiteral("-b"), QStringLiteral("16")}, 44100, 1,
                                           QStringLiteral("aiff"));
    QTest::newRow("directory of that name") << FileMaker([](const QString &path) { return QDir().mkdir(path); });
    QTest::newRow("named pipe") << FileMaker([](const QString &path) {
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    });
    QTest::newRow("larger than the cap") << FileMaker([](const QString &path) {
        QFile file(path);
        // A sparse file: it claims 60 MB without using the disk.
        return file.open(QIODevice::WriteOnly) && file.write(countingWave(10)) > 0
            && file.resize(60 * 1024 * 1024);
    });
    // Rates no audio output takes: the slowest of them would stop the program at time-up.
    QTest::newRow("1 Hz") << bytes(waveAtRate(1));
    QTest::newRow("49 Hz") << bytes(waveAtRate(49));
    QTest::newRow("7999 Hz") << bytes(waveAtRate(7999));
    QTest::newRow("384001 Hz") << bytes(waveAtRate(384001));
}

void tst_MediaControl::refusesBadFiles()
{
    QFETCH(FileMaker, make);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("sound.wav"));
    QVERIFY(make(path));

    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    QSignalSpy started(&control, &MediaControl::playStarted);
    control.setFileName(path);
    QVERIFY(openAndRead(control));
    QCOMPARE(errors.count(), 1);
    QVERIFY(!errors.first().first().toString().isEmpty());
    QVERIFY(!control.isOpen());

    // The countdown goes on and sends Prev and Play at 0:00: both are dropped.
    control.setCommand(QStringLiteral("Prev"));
    control.setCommand(QStringLiteral("Play"));
    QCOMPARE(errors.count(), 2);
    // Play tells the cause it meets, the file's own failure.
    QCOMPARE(errors.at(1).first(), errors.at(0).first());
    QVERIFY(!control.isPlaying());
    QTest::qWait(0);
    QCOMPARE(started.count(), 0);
}

void tst_MediaControl::failuresAreLoggedOncePerCause()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("sound.wav"));
    MediaWarnings warnings;
    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    control.setFileName(path);

    // A minute of ticks without the file, a minute with a broken one, then time-up.
    for (int second = 0; second < 60; ++second)
        QVERIFY(openAndRead(control));
    QVERIFY(writeFile(path, QByteArray("not a sound at all")));
    for (int second = 0; second < 60; ++second)
        QVERIFY(openAndRead(control));
    control.setCommand(QStringLiteral("Prev"));
    control.setCommand(QStringLiteral("Play"));

    QCOMPARE(errors.count(), 121);
    // Two causes, two lines: Play at time-up meets the broken file again.
    const QStringList logged = warnings.messages();
    QCOMPARE(logged.count(), 2);
    QVERIFY2(logged.at(0).contains(QStringLiteral("sound.wav")), qPrintable(logged.at(0)));
    QVERIFY2(logged.at(1).contains(QStringLiteral("sound.wav")), qPrintable(logged.at(1)));
    QVERIFY(logged.at(0) != logged.at(1));
}

void tst_MediaControl::readsAwayFromTheWindowThread()
{
    // A sound over a minute long: reading it takes a while.
    const QString path = m_dir.filePath(QStringLiteral("long.wav"));
    const int frames = 4 * 1024 * 1024;
    QByteArray data(frames * 2, Qt::Uninitialized);
    for (int f = 0; f < frames; ++f)
        qToLittleEndian<qint16>(qint16(f % 2000 - 1000), data.data() + 2 * f);
    QVERIFY(writeFile(path, riff(chunk("fmt ", fmtBody(WaveShape())) + chunk("data", data))));
    data.clear();

    MediaControl control;
    QSignalSpy opened(&control, &MediaControl::opened);
    control.setFileName(path);
    control.setCommand(QStringLiteral("Open"));
    // Open has returned to the window before the sound is read.
    QVERIFY(control.isReading());
    QVERIFY(!control.isOpen());
    QCOMPARE(control.readCount(), 1);
    QVERIFY(opened.wait(30000));
    QVERIFY(control.isOpen());
    QCOMPARE(control.sound().frameCount(), qsizetype(frames));
    QFile::remove(path);
}

void tst_MediaControl::playWaitsForTheRead()
{
    const QString path = m_dir.filePath(QStringLiteral("sound.wav"));
    QVERIFY(writeFile(path, countingWave(4410)));

    // What the exam window sends at 0:00, with a sound file it has not read yet.
    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    control.setFileName(path);
    control.setCommand(QStringLiteral("Open"));
    control.setCommand(QStringLiteral("Prev"));
    control.setCommand(QStringLiteral("Play"));
    QVERIFY(control.isPlaying());
    QCOMPARE(errors.count(), 0);
    // The sound was read and then played: here, with no server, playing fails.
    QVERIFY(errors.wait(10000));
    QVERIFY(control.isOpen());
    QCOMPARE(errors.count(), 1);
    QVERIFY2(errors.first().first().toString().contains(QStringLiteral("音声サーバー")),
             qPrintable(errors.first().first().toString()));
}

void tst_MediaControl::fileThatKeepsChangingIsReadOncePerInterval()
{
    const QString path = m_dir.filePath(QStringLiteral("sound.wav"));
    QVERIFY(writeFile(path, countingWave(10)));
    MediaControl control;
    QSignalSpy opened(&control, &MediaControl::opened);
    control.setFileName(path);
    QElapsedTimer sinceFirstRead;
    sinceFirstRead.start();
    control.setCommand(QStringLiteral("Open"));

    // Replaced before each of many Opens, while the first read is under way (by rename,
    // so that the read finds a whole file whenever it looks).
    const QString staged = m_dir.filePath(QStringLiteral("staged.wav"));
    for (int frames = 11; frames <= 40; ++frames) {
        QVERIFY(writeFile(staged, countingWave(frames)));
        QVERIFY(::rename(QFile::encodeName(staged).constData(), QFile::encodeName(path).constData()) == 0);
        control.setCommand(QStringLiteral("Open"));
    }
    QVERIFY(opened.wait(10000));
    QCOMPARE(control.readCount(), 1);
    // The change seen meanwhile is read once the interval is up, and only then.
    QVERIFY(control.isReading());
    QVERIFY(opened.wait(10000));
    QVERIFY(sinceFirstRead.elapsed() >= MediaControl::readIntervalMs - 50);
    QCOMPARE(control.readCount(), 2);
    QCOMPARE(control.sound().frameCount(), qsizetype(40));

    // Changed again at once: not read before the interval is up either.
    QVERIFY(writeFile(path, countingWave(41)));
    control.setCommand(QStringLiteral("Open"));
    QCOMPARE(control.readCount(), 2);
    QVERIFY(control.isReading());
    QVERIFY(opened.wait(10000));
    QCOMPARE(control.readCount(), 3);
    QCOMPARE(control.sound().frameCount(), qsizetype(41));
}

void tst_MediaControl::repeatedOpenReadsOnce_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("opens");
    QTest::addColumn<bool>("good");

    // The countdown sends Open once a second.
    QTest::newRow("good file, an hour of ticks") << countingWave(441) << 3600 << true;
    QTest::newRow("bad file, a minute of ticks") << QByteArray("not a sound at all") << 60 << false;
}

void tst_MediaControl::repeatedOpenReadsOnce()
{
    QFETCH(QByteArray, content);
    QFETCH(int, opens);
    QFETCH(bool, good);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("sound.wav"));
    QVERIFY(writeFile(path, content));

    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    control.setFileName(path);
    QVERIFY(openAndRead(control));
    for (int second = 1; second < opens; ++second)
        control.setCommand(QStringLiteral("Open"));
    QCOMPARE(control.readCount(), 1);
    QCOMPARE(control.isOpen(), good);
    // A bad file is still refused each time, from what the one reading found.
    QCOMPARE(errors.count(), good ? 0 : opens);
}

void tst_MediaControl::changedFileIsPickedUp_data()
{
    QTest::addColumn<QByteArray>("before");   // empty: no file yet
    QTest::addColumn<QByteArray>("after");    // empty: taken away
    QTest::addColumn<bool>("byRename");
    QTest::addColumn<int>("frames");          // of the sound open at the end
    QTest::addColumn<int>("reads");           // files read in all

    QTest::newRow("rewritten longer") << countingWave(2) << countingWave(3) << false << 3 << 2;
    QTest::newRow("rewritten same size") << countingWave(4) << riff(chunk("fmt ", fmtBody(WaveShape{tagPcm, 8}))
                                                                    + chunk("data", QByteArray(8, '\x20')))
                                         << false << 8 << 2;
    QTest::newRow("replaced by rename") << countingWave(2) << countingWave(4) << true << 4 << 2;
    QTest::newRow("dropped in mid-run") << QByteArray() << countingWave(3) << false << 3 << 1;
    // The sound already open stays; the Open itself is refused.
    QTest::newRow("taken away") << countingWave(2) << QByteArray() << false << 2 << 1;
    QTest::newRow("replaced by a broken file") << countingWave(2) << QByteArray("broken") << false << 2 << 2;
}

void tst_MediaControl::changedFileIsPickedUp()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(bool, byRename);
    QFETCH(int, frames);
    QFETCH(int, reads);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("sound.wav"));
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
    QVERIFY(openAndRead(control));
    QCOMPARE(control.isOpen(), !before.isEmpty());
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

    QVERIFY(openAndRead(control));
    control.setCommand(QStringLiteral("Open"));
    QCOMPARE(control.readCount(), reads);
    QVERIFY(control.isOpen());
    QCOMPARE(control.sound().frameCount(), qsizetype(frames));
    const bool refused = after.isEmpty() || !after.startsWith("RIFF");
    QCOMPARE(errors.count(), refused ? 2 : 0);
}

void tst_MediaControl::playWithoutServerFailsQuietly()
{
    const QString path = m_dir.filePath(QStringLiteral("sound.wav"));
    QVERIFY(writeFile(path, countingWave(4410)));

    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    QSignalSpy started(&control, &MediaControl::playStarted);
    control.setFileName(path);
    QVERIFY(openAndRead(control));
    QCOMPARE(errors.count(), 0);

    control.setCommand(QStringLiteral("Prev"));
    control.setCommand(QStringLiteral("Play"));
    QVERIFY(control.isPlaying());
    QVERIFY(errors.wait(10000));
    QCOMPARE(errors.count(), 1);
    QVERIFY(!control.isPlaying());
    QCOMPARE(started.count(), 0);
}

void tst_MediaControl::otherCommandsAreIgnored()
{
    const QString path = m_dir.filePath(QStringLiteral("sound.wav"));
    QVERIFY(writeFile(path, countingWave(10)));

    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    control.setFileName(path);
    control.setCommand(QStringLiteral("Eject"));
    control.setCommand(QString());
    QCOMPARE(errors.count(), 0);
    QVERIFY(!control.isOpen());
    QCOMPARE(control.readCount(), 0);
}

// The sound module is loaded with the first file read, in the reading thread: Open
// returns to the window before it is loaded, and a Play sent meanwhile (time-up right
// after the start) waits for the load and the read.
void tst_MediaControl::firstOpenLoadsTheSoundModuleInTheBackground()
{
    if (!inTestChild()) {
        const QString failure = failureOfChild(QCoreApplication::applicationFilePath(), QTest::currentTestFunction());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        return;
    }
    QVERIFY(!loadedSoundModule());
    const QString path = m_dir.filePath(QStringLiteral("sound.wav"));
    QVERIFY(writeFile(path, countingWave(4410)));

    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    control.setFileName(path);
    {
        // The reading thread held up, so that the window's commands come before the load;
        // let go however this block is left, lest the held thread keep the process from ending.
        const auto hold = std::make_shared<QSemaphore>();
        auto *holder = new QObject;
        holder->moveToThread(readingThread());
        QMetaObject::invokeMethod(holder, [hold] { hold->acquire(); }, Qt::QueuedConnection);
        const auto letGo = qScopeGuard([hold, holder] {
            hold->release();
            holder->deleteLater();
        });

        control.setCommand(QStringLiteral("Open"));
        QVERIFY(control.isReading());
        QVERIFY(!loadedSoundModule());
        control.setCommand(QStringLiteral("Prev"));
        control.setCommand(QStringLiteral("Play"));
        QVERIFY(control.isPlaying());
        QCOMPARE(errors.count(), 0);
    }
    // Loaded, read and then played: here, with no server, playing fails.
    QVERIFY(errors.wait(10000));
    QVERIFY(loadedSoundModule());
    QVERIFY(control.isOpen());
    QCOMPARE(errors.count(), 1);
    QVERIFY2(errors.first().first().toString().contains(QStringLiteral("音声サーバー")),
             qPrintable(errors.first().first().toString()));
}

void tst_MediaControl::withoutTheSoundModule_data()
{
    // Puts in the sound module's place what the row says.
    QTest::addColumn<FileMaker>("make");

    // The module this test was built with, changed by change.
    const auto builtModule = [](std::function<QByteArray(QByteArray)> change) {
        return FileMaker([change](const QString &path) {
            QFile built(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(NIHONSHIB_SOUND_MODULE)));
            const QByteArray changed = built.open(QIODevice::ReadOnly) ? change(built.readAll()) : QByteArray();
            return !changed.isNull() && writeFile(path, changed);
        });
    };
    QTest::newRow("missing") << FileMaker([](const QString &) { return true; });
    QTest::newRow("not a library") << bytes(QStringLiteral("これはライブラリではありません\n").toUtf8());
    QTest::newRow("cut short") << builtModule([](const QByteArray &module) { return module.left(4096); });
    // A module of another build, whose entry has another name.
    QTest::newRow("of another build") << builtModule([](QByteArray module) {
        const QByteArray entry(QT_STRINGIFY(NIHONSHIB_SOUND_MODULE_ENTRY));
        return module.contains(entry) ? module.replace(entry, entry.chopped(1) + (entry.endsWith('0') ? '9' : '0'))
                                      : QByteArray();
    });
}

// The sound module missing or broken is a sound file that cannot be read: every Open
// is refused, the cause logged once, and Play at time-up plays nothing.
void tst_MediaControl::withoutTheSoundModule()
{
    QFETCH(FileMaker, make);
    if (!inTestChild()) {
        // A copy of this test with the module's place filled as the row says: the
        // module is looked for beside the program only.
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString program = folder.filePath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
        const QString modulePath = folder.filePath(QStringLiteral(NIHONSHIB_SOUND_MODULE));
        QVERIFY(QDir().mkpath(QFileInfo(modulePath).path()));
        QVERIFY(make(modulePath));
        const QString failure = failureOfChild(
            program, QStringLiteral("%1:%2").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        return;
    }

    const QString path = m_dir.filePath(QStringLiteral("sound.wav"));
    QVERIFY(writeFile(path, countingWave(4410)));
    MediaWarnings warnings;
    MediaControl control;
    QSignalSpy errors(&control, &MediaControl::error);
    QSignalSpy started(&control, &MediaControl::playStarted);
    control.setFileName(path);

    // A minute of ticks, then time-up.
    for (int second = 0; second < 60; ++second)
        QVERIFY(openAndRead(control));
    QVERIFY(!control.isOpen());
    QCOMPARE(errors.count(), 60);
    control.setCommand(QStringLiteral("Prev"));
    control.setCommand(QStringLiteral("Play"));
    QVERIFY(!control.isPlaying());
    QCOMPARE(errors.count(), 61);
    QTest::qWait(0);
    QCOMPARE(started.count(), 0);
    QVERIFY(!loadedSoundModule());

    // One cause, one line: Play at time-up meets the same one.
    const QStringList logged = warnings.messages();
    QCOMPARE(logged.count(), 1);
    QVERIFY2(logged.at(0).contains(QStringLiteral("音声モジュール")), qPrintable(logged.at(0)));
}

QTEST_MAIN(tst_MediaControl)
#include "tst_mediacontrol.moc"
