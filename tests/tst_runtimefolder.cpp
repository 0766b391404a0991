// Where the session names no runtime folder, or one the toolkit would not take, the
// program and rtf-to-text make a private one in TMPDIR, or in /tmp when TMPDIR is no
// folder to make one in: neither an exit, a run-time error nor a terminating signal
// leaves it behind, and a signal still ends the process as it ends a process.
#include "examapplication.h"
#include "runtimefolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <QMessageBox>
#include <QTimer>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QDir::Filters everything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

// What the "runtime folder:" line names, or nothing.
QString runtimeFolderIn(const QByteArray &output)
{
    const qsizetype at = output.indexOf("runtime folder: \"");
    if (at < 0)
        return QString();
    const qsizetype start = at + qsizetype(sizeof "runtime folder: \"") - 1;
    return QFile::decodeName(output.mid(start, output.indexOf('"', start) - start));
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(everything);
}

} // namespace

class tst_RuntimeFolder : public QObject
{
    Q_OBJECT

public:
    enum class SignalWhen { FolderMade, EventLoopWatching };
    Q_ENUM(SignalWhen)
    enum class Ending { Exit, Terminated, RunTimeError };
    Q_ENUM(Ending)

private slots:
    void initTestCase();
    void signalLeavesNoFolder_data();
    void signalLeavesNoFolder();
    void foldersChosenAndRemoved_data();
    void foldersChosenAndRemoved();
    void platformWithoutScreenEndsPlainly();

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

void tst_RuntimeFolder::foldersChosenAndRemoved_data()
{
    QTest::addColumn<QString>("runtime");     // XDG_RUNTIME_DIR: "good", "0755", "other owner", "missing" or unset
    QTest::addColumn<QString>("tmp");         // TMPDIR: "good", "missing" or "unwritable"
    QTest::addColumn<QString>("folderIn");    // where the program's runtime folder is: "runtime", "tmp" or "/tmp"
    QTest::addColumn<Ending>("ending");

    const struct
    {
        const char *name, *runtime, *tmp, *folderIn;
    } choices[] = {
        {"set and good", "good", "good", "runtime"},
        {"set, mode 0755", "0755", "good", "tmp"},
        {"other owner", "other owner", "good", "tmp"},
        {"missing", "missing", "good", "tmp"},
        {"TMPDIR missing", "", "missing", "/tmp"},
        {"TMPDIR unwritable", "", "unwritable", "/tmp"},
    };
    const std::pair<const char *, Ending> endings[] = {
        {"Exit", Ending::Exit}, {"TERM", Ending::Terminated}, {"run-time error", Ending::RunTimeError}};
    for (const auto &choice : choices) {
        for (const auto &[endingName, ending] : endings) {
            QTest::addRow("%s, %s", choice.name, endingName)
                << QString::fromLatin1(choice.runtime) << QString::fromLatin1(choice.tmp)
                << QString::fromLatin1(choice.folderIn) << ending;
        }
    }
}

// The environment for a row: TMPDIR and XDG_RUNTIME_DIR as it names them, the latter
// made (or not) with the mode and owner the row asks for. False when that fails.
static bool setUpFolders(const QString &runtime, const QString &tmp, const QTemporaryDir &scratch,
                         const QString &given, bool rootsFolder, QProcessEnvironment *environment)
{
    *environment = QProcessEnvironment::systemEnvironment();
    environment->insert(QStringLiteral("HOME"), scratch.filePath(QStringLiteral("home")));
    environment->insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("nihonshib.startup.debug=true"));
    environment->insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment->insert(QStringLiteral("TMPDIR"), tmp == QLatin1String("good") ? scratch.filePath(QStringLiteral("tmp"))
                                                  : tmp == QLatin1String("missing") ? scratch.filePath(QStringLiteral("gone"))
                                                                                   : QStringLiteral("/proc"));
    if (runtime.isEmpty()) {
        environment->remove(QStringLiteral("XDG_RUNTIME_DIR"));
        return true;
    }
    environment->insert(QStringLiteral("XDG_RUNTIME_DIR"), given);
    const QByteArray path = QFile::encodeName(given);
    if (runtime != QLatin1String("missing") && !rootsFolder
        && mkdir(path.constData(), runtime == QLatin1String("0755") ? 0755 : 0700) != 0)
        return false;
    return runtime != QLatin1String("other owner") || rootsFolder || chown(path.constData(), 65534, 65534) == 0;
}

// This test run again as a program: the program's folder, its application and its
// ways to end (the test's main below).
void tst_RuntimeFolder::foldersChosenAndRemoved()
{
    QFETCH(QString, runtime);
    QFETCH(QString, tmp);
    QFETCH(QString, folderIn);
    QFETCH(Ending, ending);

    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    // Only root makes a folder of another user's; anyone else is given root's own.
    const bool rootsFolder = runtime == QLatin1String("other owner") && geteuid() != 0;
    const QString given = rootsFolder ? QStringLiteral("/root") : scratch.filePath(QStringLiteral("runtime"));
    const QString tmpFolder = scratch.filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(tmpFolder) && QDir().mkpath(scratch.filePath(QStringLiteral("home"))));
    QProcessEnvironment environment;
    QVERIFY(setUpFolders(runtime, tmp, scratch, given, rootsFolder, &environment));
    const QStringList tmpBefore = entriesOf(QStringLiteral("/tmp"));

    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    const QMetaEnum endings = QMetaEnum::fromType<Ending>();
    process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--as-program"), QLatin1String(endings.valueToKey(int(ending)))});
    QByteArray output;
    QVERIFY(QTest::qWaitFor([&] { output += process.readAll(); return output.contains("running") || process.state() == QProcess::NotRunning; }, 60000));
    const QString folder = runtimeFolderIn(output);
    const QString expectedParent = folderIn == QLatin1String("runtime") ? QString()
                                   : folderIn == QLatin1String("tmp") ? tmpFolder : QStringLiteral("/tmp");
    if (expectedParent.isEmpty())
        QCOMPARE(folder, given);
    else
        QVERIFY2(QFileInfo(folder).path() == expectedParent && QFileInfo(folder).fileName().startsWith(QLatin1String("nihonshib-runtime-")),
                 output.constData());
    if (ending == Ending::Terminated)
        QCOMPARE(::kill(pid_t(process.processId()), SIGTERM), 0);
    QVERIFY(process.state() == QProcess::NotRunning || process.waitForFinished(60000));
    output += process.readAll();

    if (ending == Ending::Terminated)
        QVERIFY2(process.exitStatus() == QProcess::CrashExit && process.exitCode() == SIGTERM, output.constData());
    else
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == (ending == Ending::Exit ? 0 : 1),
                 output.constData());
    // The program's own folder is gone; the session's is left as it was, nothing is made in it
    // or where TMPDIR pointed, and the toolkit made no folder of its own in /tmp.
    QVERIFY2(expectedParent.isEmpty() == QFileInfo::exists(folder), qPrintable(folder));
    QVERIFY2(entriesOf(tmpFolder).isEmpty(), qPrintable(entriesOf(tmpFolder).join(u' ')));
    QCOMPARE(QFileInfo::exists(given), runtime != QLatin1String("missing") && !runtime.isEmpty());
    if (runtime == QLatin1String("good"))
        QVERIFY(entriesOf(given).isEmpty());
    const QStringList tmpAfter = entriesOf(QStringLiteral("/tmp"));
    for (const QString &entry : tmpAfter)
        QVERIFY2(tmpBefore.contains(entry) || !entry.startsWith(QLatin1String("runtime-")), qPrintable(entry));
    QVERIFY2(!output.contains("QStandardPaths"), output.constData());
}

// A framebuffer platform without a framebuffer starts, with no screen: the program says
// so in its own words and ends with status 1, its folder removed, instead of aborting.
void tst_RuntimeFolder::platformWithoutScreenEndsPlainly()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    environment.insert(QStringLiteral("TMPDIR"), tmp.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("linuxfb:fb=/nonexistent/fb0"));
    // No input devices either: the plugin's keyboard and pointer libraries leak at its end.
    environment.insert(QStringLiteral("QT_QPA_FB_DISABLE_INPUT"), QStringLiteral("1"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral(PROGRAM), QStringList());
    QVERIFY(process.waitForFinished(60000));
    const QString output = QString::fromUtf8(process.readAll());
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 1, qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("nihonshib: 画面の種類 linuxfb にはウィンドウを開ける画面がありません。\n"
                                            "nihonshib: the windowing platform linuxfb has no screen")),
             qPrintable(output));
    QVERIFY2(entriesOf(tmp.path()).isEmpty(), qPrintable(entriesOf(tmp.path()).join(u' ')));
}

namespace {

// An object whose event handler fails, as a handler of the exam window's might.
class FailingObject : public QObject
{
public:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::User)
            throw std::runtime_error("a handler failed");
        return QObject::event(event);
    }
};

// As the program's main(): the folder provided, the application made and run, then ended
// by quitting, by SIGTERM or by a run-time error whose message is closed as a user would.
int runAsProgram(int argc, char *argv[], const QByteArray &ending)
{
    startup::provideRuntimeFolder();
    int status = 0;
    {
        ExamApplication app(argc, argv);
        startup::quitOnTerminatingSignals();
        FailingObject failing;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, &app, [] {
            if (QWidget *box = QApplication::activeModalWidget())
                box->close();
        });
        closer.start(10);
        QTimer::singleShot(0, &app, [&] {
            std::fputs("running\n", stdout);
            std::fflush(stdout);
            if (ending == "Exit")
                QCoreApplication::quit();
            else if (ending == "RunTimeError")
                QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
        });
        status = QApplication::exec();
    }
    startup::endAsSignalled();
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--as-program") == 0)
        return runAsProgram(argc, argv, argv[2]);
    QCoreApplication app(argc, argv);
    tst_RuntimeFolder test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_runtimefolder.moc"
