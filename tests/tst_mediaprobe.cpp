// The question the sound device asks the sound server before it plays: against a
// server that takes the connection and never says a word, it gives up by its
// deadline, and waits without spinning meanwhile.

#include "soundserverprobe.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>

#include <time.h>

namespace {

qint64 threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace

class tst_MediaProbe : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void givesUpOnASilentServer_data();
    void givesUpOnASilentServer();

private:
    QTemporaryDir m_dir;
    QLocalServer m_silentServer;
    std::vector<std::unique_ptr<QLocalSocket>> m_connections;
};

void tst_MediaProbe::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Takes every connection and never answers, as a wedged sound server does.
    const QString socketPath = m_dir.filePath(QStringLiteral("native"));
    QVERIFY2(m_silentServer.listen(socketPath), qPrintable(m_silentServer.errorString()));
    connect(&m_silentServer, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *connection = m_silentServer.nextPendingConnection())
            m_connections.emplace_back(connection);
    });
    qputenv("PULSE_SERVER", QFile::encodeName(QStringLiteral("unix:") + socketPath));
    // No cookie of ours anywhere: the client must not wait on one either.
    qputenv("HOME", QFile::encodeName(m_dir.path()));
}

void tst_MediaProbe::givesUpOnASilentServer_data()
{
    QTest::addColumn<int>("deadlineMs");
    QTest::newRow("a fifth of a second") << 200;
    QTest::newRow("a second and a half") << 1500;
}

void tst_MediaProbe::givesUpOnASilentServer()
{
    QFETCH(int, deadlineMs);
    const std::size_t connectionsBefore = m_connections.size();

    std::atomic<bool> done{false};
    bool answered = true;
    qint64 cpuMs = -1;
    QElapsedTimer took;
    took.start();
    std::unique_ptr<QThread> asking(QThread::create([&] {
        const qint64 cpuBefore = threadCpuMs();
        answered = soundServerAnswers(QDeadlineTimer(deadlineMs));
        cpuMs = threadCpuMs() - cpuBefore;
        done = true;
    }));
    asking->start();
    // The server side runs here, so the connection is taken while the question waits.
    const bool gaveUp = QTest::qWaitFor([&done] { return done.load(); }, deadlineMs + 500);
    const qint64 elapsedMs = took.elapsed();
    if (!gaveUp) {
        // Free the thread before failing; no later question is asked in this process.
        cancelSoundServerQuestions();
        asking->wait();
        QFAIL(qPrintable(QStringLiteral("still asking %1 ms after a deadline of %2 ms").arg(elapsedMs).arg(deadlineMs)));
    }
    asking->wait();

    QVERIFY(!answered);
    QVERIFY2(m_connections.size() > connectionsBefore, "the question never reached the server");
    QVERIFY2(elapsedMs >= deadlineMs - 20, qPrintable(QStringLiteral("gave up after %1 ms").arg(elapsedMs)));
    // Waiting is sleeping: a loop polling the server would burn the whole wait.
    QVERIFY2(cpuMs <= 50 + deadlineMs / 10,
             qPrintable(QStringLiteral("%1 ms of processor time in %2 ms of waiting").arg(cpuMs).arg(elapsedMs)));
}

QTEST_GUILESS_MAIN(tst_MediaProbe)
#include "tst_mediaprobe.moc"
