// The moments when the sound device's audio thread and the rest of the program meet,
// each played out once per pass with short sounds on a private sound server: a device
// deleted or stopped while its sound starts or drains, a sound played to its end, the
// output taken away or the server killed or stopped while it plays, and a program that ends while the audio thread is
// busy, is asking a server that never answers, or is held inside the audio library. tools/stress-sound.sh runs the passes
// over and over under load, in the sanitizer and ThreadSanitizer builds.

#include "busyaudiothread.h"
#include "childtesting.h"
#include "mediacontrol.h"
#include "soundlistener.h"
#include "soundmodule.h"
#include "wavefiles.h"

#include <QApplication>
#include <QAudioSink>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMediaDevices>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <pulse/stream.h>

namespace {

using namespace wavefile;

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// What pactl prints, or nothing when it fails.
std::optional<QString> pactl(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("pactl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// A media control with the file open, and spies on what it reports from then on.
struct OpenedSound
{
    explicit OpenedSound(const QString &path)
    {
        control.setFileName(path);
        control.setCommand(QStringLiteral("Open"));
    }

    bool waitUntilRead() { return QTest::qWaitFor([this] { return !control.isReading(); }, 30000); }

    MediaControl control;
    QSignalSpy errors{&control, &MediaControl::error};
    QSignalSpy started{&control, &MediaControl::playStarted};
    QSignalSpy finished{&control, &MediaControl::playFinished};
};

QString firstError(const QSignalSpy &errors)
{
    return errors.isEmpty() ? QString() : errors.first().first().toString();
}

// Counts the media device's warnings, and those of them that are the whole of a pattern,
// from its making on, and passes every message on to the test's own handler.
class MediaWarnings
{
public:
    explicit MediaWarnings(const QString &pattern)
    {
        s_pattern = QRegularExpression(QRegularExpression::anchoredPattern(pattern));
        s_count = 0;
        s_all = 0;
        s_previous = qInstallMessageHandler(&MediaWarnings::handle);
    }
    ~MediaWarnings() { qInstallMessageHandler(s_previous); }
    Q_DISABLE_COPY(MediaWarnings)

    int count() const { return s_count.load(); }
    int all() const { return s_all.load(); }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (type == QtWarningMsg && qstrcmp(context.category, "nihonshib.media") == 0) {
            ++s_all;
            if (s_pattern.match(message).hasMatch())
                ++s_count;
        }
        s_previous(type, context, message);
    }

    static inline QRegularExpression s_pattern;
    static inline std::atomic<int> s_count{0};
    static inline std::atomic<int> s_all{0};
    static inline QtMessageHandler s_previous = nullptr;
};

// Once set, the audio library's next output to connect to the sound server waits inside
// the connection for ever, holding the library's lock, as on a server that stopped
// answering; outputHeld tells that it is waiting.
std::atomic<bool> holdConnectingOutputs{false};
std::atomic<bool> outputHeld{false};

} // namespace

extern "C" int pa_stream_connect_playback(pa_stream *stream, const char *device, const pa_buffer_attr *attributes,
                                          pa_stream_flags_t flags, const pa_cvolume *volume, pa_stream *syncStream)
{
    using Connect = int (*)(pa_stream *, const char *, const pa_buffer_attr *, pa_stream_flags_t, const pa_cvolume *,
                            pa_stream *);
    static const auto connect = reinterpret_cast<Connect>(dlsym(RTLD_NEXT, "pa_stream_connect_playback"));
    if (holdConnectingOutputs.load()) {
        outputHeld.store(true);
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    }
    return connect(stream, device, attributes, flags, volume, syncStream);
}

class tst_MediaStress : public QObject
{
    Q_OBJECT

public:
    enum class Interruption { RightAfterPlay, AsItStarts, PrevAsItStarts, PlayAgainAsItStarts };
    Q_ENUM(Interruption)
    enum class Ending { AudioThreadBusy, AskingSilentServer, AudioThreadHeldInLibrary };
    Q_ENUM(Ending)
    enum class ServerFault { KilledBeforePlay, HeldAsItStarts, KilledMidSound, StoppedMidSound };
    Q_ENUM(ServerFault)

private slots:
    void initTestCase();
    void cleanupTestCase();

    void interruptedWhilePlaying_data();
    void interruptedWhilePlaying();
    void playsToTheEnd();
    void outputRemovedWhilePlaying();
    void serverFails_data();
    void serverFails();
    void programEnds_data();
    void programEnds();

public:
    // Counts the passes when they are repeated (see main()).
    void startPass(int pass)
    {
        m_repeated = true;
        m_pass = pass;
    }

private:
    void endInChild(Ending ending);

    bool m_repeated = false;
    int m_pass = 1;

    std::unique_ptr<sound::Server> m_server;
    QTemporaryDir m_files;
    QString m_blip;     // shorter than the output's buffer: it runs dry as it starts
    QString m_short;
    QString m_long;
    QString m_second;
    // Takes every connection and never answers, as a wedged sound server does.
    QLocalServer m_silentServer;
    std::vector<std::unique_ptr<QLocalSocket>> m_silentConnections;
};

void tst_MediaStress::initTestCase()
{
    QVERIFY(m_files.isValid());
    m_blip = m_files.filePath(QStringLiteral("blip.wav"));
    m_short = m_files.filePath(QStringLiteral("short.wav"));
    m_long = m_files.filePath(QStringLiteral("long.wav"));
    m_second = m_files.filePath(QStringLiteral("second.wav"));
    QVERIFY(writeFile(m_blip, toneWave(WaveShape(), 20)));
    QVERIFY(writeFile(m_short, toneWave(WaveShape{tagPcm, 16, 2, 48000}, 60)));
    QVERIFY(writeFile(m_long, toneWave(WaveShape(), 10000)));
    QVERIFY(writeFile(m_second, toneWave(WaveShape(), 1000)));

    if (inTestChild())
        return;
    m_server = std::make_unique<sound::Server>();
    const QString unavailable = m_server->start();
    if (unavailable.startsWith(QLatin1String("pulseaudio is not installed")))
        QSKIP(qPrintable(unavailable));
    QVERIFY2(unavailable.isEmpty(), qPrintable(unavailable));

    if (!m_silentServer.isListening()) {
        QVERIFY2(m_silentServer.listen(m_files.filePath(QStringLiteral("silent"))),
                 qPrintable(m_silentServer.errorString()));
        connect(&m_silentServer, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *connection = m_silentServer.nextPendingConnection())
                m_silentConnections.emplace_back(connection);
        });
    }
}

void tst_MediaStress::cleanupTestCase()
{
    m_silentConnections.clear();
    m_server.reset();
}

void tst_MediaStress::interruptedWhilePlaying_data()
{
    QTest::addColumn<Interruption>("interruption");
    QTest::newRow("deleted right after Play") << Interruption::RightAfterPlay;
    QTest::newRow("deleted as it starts, already draining") << Interruption::AsItStarts;
    QTest::newRow("Prev and deleted as it starts") << Interruption::PrevAsItStarts;
    QTest::newRow("played again as it starts, deleted as it starts again") << Interruption::PlayAgainAsItStarts;
}

void tst_MediaStress::interruptedWhilePlaying()
{
    QFETCH(Interruption, interruption);

    auto opened = std::make_unique<OpenedSound>(m_blip);
    QVERIFY(opened->waitUntilRead());
    opened->control.setCommand(QStringLiteral("Play"));
    if (interruption == Interruption::RightAfterPlay) {
        opened.reset();
        return;
    }
    QVERIFY2(opened->started.wait(10000), qPrintable(firstError(opened->errors)));
    switch (interruption) {
    case Interruption::RightAfterPlay:
    case Interruption::AsItStarts:
        break;
    case Interruption::PrevAsItStarts:
        opened->control.setCommand(QStringLiteral("Prev"));
        QVERIFY(!opened->control.isPlaying());
        break;
    case Interruption::PlayAgainAsItStarts:
        opened->control.setCommand(QStringLiteral("Prev"));
        opened->control.setCommand(QStringLiteral("Play"));
        QVERIFY2(opened->started.wait(10000), qPrintable(firstError(opened->errors)));
        break;
    }
    QCOMPARE(firstError(opened->errors), QString());
    opened.reset();
}

void tst_MediaStress::playsToTheEnd()
{
    OpenedSound opened(m_blip);
    QVERIFY(opened.waitUntilRead());
    opened.control.setCommand(QStringLiteral("Prev"));
    opened.control.setCommand(QStringLiteral("Play"));
    QVERIFY2(opened.finished.wait(10000), qPrintable(firstError(opened.errors)));
    QCOMPARE(opened.started.count(), 1);
    QCOMPARE(opened.finished.count(), 1);
    QCOMPARE(firstError(opened.errors), QString());
    QVERIFY(!opened.control.isPlaying());
}

// As when headphones are pulled out while the time-up sound plays: the output goes
// away under the sound (the server's only sink is unloaded), the sound fails with it,
// and once the output is back the next Prev and Play play on it.
void tst_MediaStress::outputRemovedWhilePlaying()
{
    const std::optional<QString> modules = pactl({QStringLiteral("list"), QStringLiteral("short"),
                                                  QStringLiteral("modules")});
    QVERIFY(modules);
    // "index <tab> module-null-sink <tab> sink_name=... <tab> ..."
    QStringList sinkModule;
    for (const QString &line : modules->split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() >= 3 && fields.at(1) == QLatin1String("module-null-sink")
            && fields.at(2).contains(QStringLiteral("sink_name=") + m_server->sink()))
            sinkModule = fields;
    }
    QVERIFY2(!sinkModule.isEmpty(), qPrintable(*modules));
    auto reload = qScopeGuard([&] {
        pactl({QStringLiteral("load-module"), sinkModule.at(1), sinkModule.at(2)});
    });

    OpenedSound opened(m_long);
    QVERIFY(opened.waitUntilRead());
    opened.control.setCommand(QStringLiteral("Play"));
    QVERIFY2(opened.started.wait(10000), qPrintable(firstError(opened.errors)));
    opened.started.clear();
    const MediaWarnings warnings(QStringLiteral("音は鳴り始めましたが、\\d+\\.\\d 秒で途切れました: 出力装置が止まりました"));
    QVERIFY(pactl({QStringLiteral("unload-module"), sinkModule.at(0)}));
    // The sound ends with the output, reported as cut off.
    QTRY_VERIFY_WITH_TIMEOUT(!opened.control.isPlaying(), 5000);
    QCOMPARE(opened.errors.count(), 1);
    QCOMPARE(warnings.count(), 1);
    QVERIFY(opened.finished.isEmpty());

    reload.dismiss();
    QVERIFY(pactl({QStringLiteral("load-module"), sinkModule.at(1), sinkModule.at(2)}));
    // The audio library learns of the new output in steps: a Play meanwhile may find
    // none and is refused, as it should be; the next one plays.
    const bool playedAgain = QTest::qWaitFor(
        [&opened] {
            opened.control.setCommand(QStringLiteral("Prev"));
            opened.control.setCommand(QStringLiteral("Play"));
            return QTest::qWaitFor([&opened] { return !opened.started.isEmpty() || !opened.control.isPlaying(); },
                                   5000)
                && !opened.started.isEmpty();
        },
        10000);
    QVERIFY2(playedAgain, qPrintable(firstError(opened.errors)));
    QCOMPARE(warnings.count(), 1);
}

void tst_MediaStress::serverFails_data()
{
    QTest::addColumn<ServerFault>("fault");
    QTest::addColumn<QString>("logged");   // the one line the device logs, as a pattern
    if (qEnvironmentVariable("NIHONSHIB_STRESS_SERVER_FAULTS") == QLatin1String("apart"))
        QSKIP("run as a test of its own, beside the others (tst_mediastress_server_faults)");

    // Repeated passes kill the server once each, by turns; the other rows wait out deadlines.
    if (!m_repeated || m_pass % 2 == 0)
        QTest::newRow("killed before Play")
            << ServerFault::KilledBeforePlay << QStringLiteral("音声サーバーが動いていないため、音を鳴らしませんでした");
    if (!m_repeated || m_pass % 2 == 1)
        QTest::newRow("killed mid-sound") << ServerFault::KilledMidSound
                                          << QStringLiteral("音は鳴り始めましたが、0\\.\\d 秒で途切れました: 音声サーバーとの接続が切れました");
    if (m_repeated)
        return;
    // It answered the device's question, then never the output's.
    QTest::newRow("stops answering as the sound starts")
        << ServerFault::HeldAsItStarts << QStringLiteral("音声サーバーが応答しないため、音を鳴らしませんでした");
    QTest::newRow("stopped mid-sound")
        << ServerFault::StoppedMidSound
        << QStringLiteral("音は鳴り始めましたが、音声サーバーが応答しなくなりました（1\\.0 秒の音が 6\\.0 秒たっても鳴り終わりません）");
}

// The sound server killed or stopped (SIGSTOP) before or while the time-up sound plays,
// on a server of the test's own, from a child process: one line says what happened, by
// the window's own deadline if the audio thread is held up.
void tst_MediaStress::serverFails()
{
    QFETCH(ServerFault, fault);
    QFETCH(QString, logged);
    if (!inTestChild()) {
        sound::Server server(sound::Server::Kind::Own);
        QVERIFY(server.start().isEmpty());
        QProcessEnvironment own;
        own.insert(QStringLiteral("PULSE_SERVER"), server.address());
        own.insert(QStringLiteral("NIHONSHIB_TEST_SERVER_PID"), QString::number(server.pid()));
        const QString failure = failureOfChild(QCoreApplication::applicationFilePath(),
                                               QStringLiteral("serverFails:%1").arg(QTest::currentDataTag()), own);
        ::kill(pid_t(server.pid()), SIGCONT);   // so that it can be stopped for good
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        return;
    }
    const auto server = pid_t(qEnvironmentVariableIntValue("NIHONSHIB_TEST_SERVER_PID"));
    OpenedSound opened(m_second);
    QVERIFY(opened.waitUntilRead());
    const MediaWarnings warnings(logged);
    if (fault == ServerFault::KilledBeforePlay)
        QCOMPARE(::kill(server, SIGKILL), 0);
    holdConnectingOutputs.store(fault == ServerFault::HeldAsItStarts);
    opened.control.setCommand(QStringLiteral("Play"));
    if (fault == ServerFault::KilledMidSound || fault == ServerFault::StoppedMidSound) {
        QVERIFY2(opened.started.wait(10000), qPrintable(firstError(opened.errors)));
        QCOMPARE(::kill(server, fault == ServerFault::KilledMidSound ? SIGKILL : SIGSTOP), 0);
    }
    QVERIFY(QTest::qWaitFor([&opened] { return !opened.control.isPlaying(); },
                            MediaControl::startWithinMs + 2 * MediaControl::answerMarginMs));
    QCOMPARE(opened.errors.count(), 1);
    QVERIFY2(warnings.count() == 1 && warnings.all() == 1, qPrintable(firstError(opened.errors)));
}

void tst_MediaStress::programEnds_data()
{
    QTest::addColumn<Ending>("ending");
    // Passes repeated in one process end one child each, the endings by turns.
    if (!m_repeated || m_pass % 3 == 1)
        QTest::newRow("audio thread busy closing outputs") << Ending::AudioThreadBusy;
    if (!m_repeated || m_pass % 3 == 2)
        QTest::newRow("audio thread asking a silent server") << Ending::AskingSilentServer;
    if (!m_repeated || m_pass % 3 == 0)
        QTest::newRow("audio thread held inside the audio library") << Ending::AudioThreadHeldInLibrary;
}

// The end is played out in a child process of this test, whose exit is watched: it must
// wait for the audio thread's work with the audio library, not tear the library down
// under it, and must not wait for a server that never answers, nor for a thread left
// inside the audio library with its lock (which the library's teardown at exit takes).
void tst_MediaStress::programEnds()
{
    QFETCH(Ending, ending);
    if (inTestChild()) {
        endInChild(ending);
        return;
    }

    QProcessEnvironment silentServer;
    if (ending == Ending::AskingSilentServer)
        silentServer.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + m_silentServer.fullServerName());
    const QString failure = failureOfChild(QCoreApplication::applicationFilePath(),
                                           QStringLiteral("programEnds:") + QString::fromLatin1(QTest::currentDataTag()),
                                           silentServer, 120000);
    // All of it, where a sanitizer's report would be cut short in a failure message.
    if (!failure.isEmpty())
        fprintf(stderr, "--- the child's output ---\n%s\n---\n", qPrintable(failure));
    QVERIFY(failure.isEmpty());
}

void tst_MediaStress::endInChild(Ending ending)
{
    OpenedSound opened(m_short);
    QVERIFY(opened.waitUntilRead());
    holdConnectingOutputs.store(ending == Ending::AudioThreadHeldInLibrary);
    opened.control.setCommand(QStringLiteral("Play"));
    if (ending == Ending::AskingSilentServer)
        return;
    if (ending == Ending::AudioThreadHeldInLibrary) {
        QVERIFY(QTest::qWaitFor([] { return outputHeld.load(); }, 10000));
        return;
    }

    QVERIFY2(opened.started.wait(10000), qPrintable(firstError(opened.errors)));
    // The sound drains, and outputs are opened and closed in the audio thread, for a
    // while after the test has returned.
    QVERIFY(loadedSoundModule());
    keepAudioThreadBusy(loadedSoundModule()->audioThread(), 100);
}

namespace {

// NIHONSHIB_STRESS_PASSES passes in one process (Qt 6.4's QtTest has no -repeat), one
// otherwise; the first pass that fails is the last.
int runPasses(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int passes = inTestChild() ? 1 : qEnvironmentVariableIntValue("NIHONSHIB_STRESS_PASSES");
    tst_MediaStress test;
    for (int pass = 1; pass <= std::max(passes, 1); ++pass) {
        if (passes > 1)
            test.startPass(pass);
        if (const int status = QTest::qExec(&test, argc, argv))
            return status;
    }
    return 0;
}

} // namespace

// Ends as the program does.
int main(int argc, char *argv[])
{
    const int status = runPasses(argc, argv);
    endAtOnceIfAudioThreadLeftRunning(status);
    return status;
}

#include "tst_mediastress.moc"
