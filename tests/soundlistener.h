#pragma once

// Listening to what a test plays: a private PulseAudio server with a null sink
// (tests/audio/README) and a recorder on the sink's monitor.
//
// Under CTest the server comes from the pulse_server fixture, which sets
// PULSE_SERVER and NIHONSHIB_PULSE_SINK. Run by hand without them, the listener
// starts a server of its own with tests/audio/pulse-server.sh and stops it at the end.

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <memory>
#include <utility>

namespace sound {

constexpr int recordRate = 44100;

// Root mean square of 16-bit little-endian samples: 0 for silence.
inline double rms(const QByteArray &pcm)
{
    const qsizetype samples = pcm.size() / 2;
    if (samples == 0)
        return 0.0;
    double sum = 0.0;
    for (qsizetype i = 0; i < samples; ++i) {
        const double s = qFromLittleEndian<qint16>(pcm.constData() + 2 * i);
        sum += s * s;
    }
    return std::sqrt(sum / double(samples));
}

class Server
{
public:
    // Own: a server of the test's own, to kill or stop, whatever PULSE_SERVER says;
    // the environment is left alone, and a client is pointed at address().
    enum class Kind { Shared, Own };
    explicit Server(Kind kind = Kind::Shared) : m_kind(kind) {}
    ~Server()
    {
        if (m_ownServer)
            QProcess::execute(QStringLiteral("sh"), {script(), QStringLiteral("stop"), m_ownServer->path()});
    }

    // Empty when the server answers; otherwise why no sound can be heard here.
    QString start()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty())
            return QStringLiteral("pulseaudio is not installed, so no sound server can be started to listen");
        if (QStandardPaths::findExecutable(QStringLiteral("parec")).isEmpty())
            return QStringLiteral("parec (pulseaudio-utils) is needed to record what the sound server plays");
        m_address = qEnvironmentVariable("PULSE_SERVER");
        m_sink = qEnvironmentVariable("NIHONSHIB_PULSE_SINK", QStringLiteral("nihonshib_null"));
        if (m_kind == Kind::Own || m_address.isEmpty()) {
            // A short path: the server's socket path must fit in 108 bytes.
            m_ownServer = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/nihonshib-pa-XXXXXX"));
            if (!m_ownServer->isValid()
                || QProcess::execute(QStringLiteral("sh"), {script(), QStringLiteral("start"), m_ownServer->path()}) != 0)
                return QStringLiteral("the private sound server did not start");
            m_address = QStringLiteral("unix:%1/native").arg(m_ownServer->path());
            m_sink = QStringLiteral("nihonshib_null");
            if (m_kind == Kind::Shared) {
                qputenv("PULSE_SERVER", QFile::encodeName(m_address));
                qputenv("NIHONSHIB_PULSE_SINK", QFile::encodeName(m_sink));
            }
        }

        QProcess info;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PULSE_SERVER"), m_address);
        info.setProcessEnvironment(environment);
        info.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sinks")});
        if (!info.waitForFinished(10000) || info.exitCode() != 0)
            return QStringLiteral("the sound server does not answer on PULSE_SERVER");
        if (!QString::fromUtf8(info.readAllStandardOutput()).contains(m_sink))
            return QStringLiteral("the null sink is missing");
        return {};
    }

    QString sink() const { return m_sink; }
    QString address() const { return m_address; }
    qint64 pid() const
    {
        QFile file(m_ownServer ? m_ownServer->filePath(QStringLiteral("run/pulse/pid")) : QString());
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
    }

private:
    static QString script() { return QStringLiteral(SOURCE_DIR "/tests/audio/pulse-server.sh"); }

    Kind m_kind;
    QString m_address;
    QString m_sink;
    std::unique_ptr<QTemporaryDir> m_ownServer;
};

// Records the sink's monitor as 16-bit mono at recordRate.
class Recorder : public QObject
{
public:
    explicit Recorder(const QString &sink)
    {
        connect(&m_parec, &QProcess::readyReadStandardOutput, this,
                [this] { m_pcm += m_parec.readAllStandardOutput(); });
        m_parec.start(QStringLiteral("parec"),
                      {QStringLiteral("-d"), sink + QStringLiteral(".monitor"), QStringLiteral("--raw"),
                       QStringLiteral("--format=s16le"), QStringLiteral("--rate=%1").arg(recordRate),
                       QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=20")});
    }
    ~Recorder() override
    {
        if (m_parec.state() != QProcess::NotRunning) {
            m_parec.kill();
            m_parec.waitForFinished(5000);
        }
    }

    // The monitor streams all the time; once a tenth of a second has come, the recorder is listening.
    bool waitUntilListening()
    {
        if (!m_parec.waitForStarted(5000))
            return false;
        QDeadlineTimer deadline(10000);
        while (m_pcm.size() < recordRate / 10 * 2 && !deadline.hasExpired())
            QTest::qWait(20);
        return m_pcm.size() >= recordRate / 10 * 2;
    }

    qsizetype recordedMs() const { return m_pcm.size() / 2 * 1000 / recordRate; }
    QByteArray takeRecording() { return std::exchange(m_pcm, QByteArray()); }

    QByteArray stop()
    {
        m_parec.terminate();
        m_parec.waitForFinished(5000);
        m_pcm += m_parec.readAllStandardOutput();
        return takeRecording();
    }

private:
    QProcess m_parec;
    QByteArray m_pcm;
};

} // namespace sound
