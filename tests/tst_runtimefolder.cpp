// Where the session names no runtime folder, the program and rtf-to-text make a private
// one in TMPDIR: a terminating signal must not leave it behind, and the process still
// ends as that signal ends a process.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

class tst_RuntimeFolder : public QObject
{
    Q_OBJECT

public:
    enum class SignalWhen { FolderMade, EventLoopWatching };
    Q_ENUM(SignalWhen)

private slots:
    void initTestCase();
    void signalLeavesNoFolder_data();
    void signalLeavesNoFolder();

private:
    // An X display that takes connections and never answers: a toolkit connecting to it
    // waits for ever, which holds rtf-to-text at its start for as long as a test needs.
    QLocalServer m_silentDisplay;
    QString m_silentDisplayName;
};

void tst_RuntimeFolder::initTestCase()
{
    const QString loginFolder = QStringLiteral("/run/user/%1").arg(geteuid());
    if (QFileInfo(loginFolder).isDir())
        QSKIP("this login has a runtime folder, which the programs take instead of making one");

    // The X library looks for display N first at this abstract socket.
    m_silentDisplay.setSocketOptions(QLocalServer::AbstractNamespaceOption);
    for (int number = 700 + int(getpid() % 200); m_silentDisplayName.isEmpty() && number < 1000; ++number) {
        if (!QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number))
            && m_silentDisplay.listen(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
            m_silentDisplayName = QStringLiteral(":%1").arg(number);
    }
    QVERIFY2(!m_silentDisplayName.isEmpty(), qPrintable(m_silentDisplay.errorString()));
}

void tst_RuntimeFolder::signalLeavesNoFolder_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<SignalWhen>("when");
    QTest::addColumn<int>("signal");

    const QString exam = QStringLiteral(PROGRAM);
    const QString tool = QStringLiteral(RTF_TO_TEXT);
    const QStringList document{QStringLiteral(SOURCE_DIR "/resources/documents/help.rtf")};
    QTest::newRow("program starting, SIGTERM") << exam << QStringList() << SignalWhen::FolderMade << SIGTERM;
    QTest::newRow("program running, SIGTERM") << exam << QStringList() << SignalWhen::EventLoopWatching << SIGTERM;
    QTest::newRow("program running, SIGINT") << exam << QStringList() << SignalWhen::EventLoopWatching << SIGINT;
    QTest::newRow("program running, SIGHUP") << exam << QStringList() << SignalWhen::EventLoopWatching << SIGHUP;
    QTest::newRow("rtf-to-text, SIGTERM") << tool << document << SignalWhen::FolderMade << SIGTERM;
    QTest::newRow("rtf-to-text, SIGINT") << tool << document << SignalWhen::FolderMade << SIGINT;
    QTest::newRow("rtf-to-text, SIGHUP") << tool << document << SignalWhen::FolderMade << SIGHUP;
}

void tst_RuntimeFolder::signalLeavesNoFolder()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(SignalWhen, when);
    QFETCH(int, signal);

    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QString tmp = scratch.filePath(QStringLiteral("tmp"));
    const QString home = scratch.filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(tmp) && QDir().mkpath(home));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    environment.insert(QStringLiteral("TMPDIR"), tmp);
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("nihonshib.startup.debug=true"));
    // The program runs off-screen; rtf-to-text waits at the silent display.
    if (program == QLatin1String(RTF_TO_TEXT)) {
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("DISPLAY"), m_silentDisplayName);
    } else {
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }

    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    QVERIFY(process.waitForStarted());
    const auto cleanUp = qScopeGuard([&process] {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    });

    const QDir tmpDir(tmp);
    const QDir::Filters everything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    QByteArray output;
    const bool ready = QTest::qWaitFor(
        [&] {
            output += process.readAll();
            if (process.state() == QProcess::NotRunning)
                return true;
            if (when == SignalWhen::EventLoopWatching)
                return output.contains("a terminating signal ends the event loop");
            return !tmpDir.entryList(everything).isEmpty();
        },
        60000);
    QVERIFY2(ready && process.state() == QProcess::Running, output.constData());
    const QStringList made = tmpDir.entryList(everything);
    QCOMPARE(made.size(), 1);
    // What the toolkit and the sound library may keep there goes too.
    const QDir folder(tmpDir.filePath(made.first()));
    QVERIFY(folder.mkpath(QStringLiteral("pulse")));
    for (const QString &name : {QStringLiteral("pulse/pid"), QStringLiteral("bus")}) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
    QVERIFY(process.waitForFinished(60000));
    output += process.readAll();
    QVERIFY2(tmpDir.entryList(everything).isEmpty(),
             qPrintable(tmpDir.entryList(everything).join(QLatin1Char(' ')) + QLatin1Char('\n') + output));
    // Ended by the signal, as the shell and the session manager expect.
    QVERIFY2(process.exitStatus() == QProcess::CrashExit, output.constData());
    QCOMPARE(process.exitCode(), signal);
}

QTEST_GUILESS_MAIN(tst_RuntimeFolder)
#include "tst_runtimefolder.moc"
