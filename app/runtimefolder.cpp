#include "runtimefolder.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcStartup, "nihonshib.startup", QtWarningMsg)

namespace startup {

namespace {

// Why path cannot be the runtime folder, or nothing when it can: the toolkit takes
// only a folder of the user's own with mode 0700, and otherwise makes one of its own
// in /tmp (or the missing one itself), which nobody removes.
QString unusableRuntimeFolder(const QByteArray &path)
{
    struct stat info {};
    if (stat(path.constData(), &info) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("not a folder");
    if (info.st_uid != geteuid())
        return QStringLiteral("owned by user %1").arg(info.st_uid);
    if ((info.st_mode & 07777) != 0700)
        return QStringLiteral("mode %1, not 0700").arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return QString();
}

// Removed at the latest when the program ends, however main() is left.
struct RuntimeFolder
{
    QString path;
    ~RuntimeFolder() { removeRuntimeFolder(); }
};

RuntimeFolder &privateRuntimeFolder()
{
    // Made after the logging category, so it is gone before the category is.
    lcStartup();
    static RuntimeFolder folder;
    return folder;
}

// What a signal handler may use: no Qt, no heap, no locks.
constexpr int terminatingSignals[] = {SIGTERM, SIGINT, SIGHUP};
char folderForSignals[PATH_MAX] = {};
volatile std::sig_atomic_t quitPipeWriteEnd = -1;
volatile std::sig_atomic_t receivedSignal = 0;
// A platform plugin's own handler found in place of ours (the framebuffer ones end the
// process from theirs, restoring the console): it runs after the folder is removed.
void (*platformHandlers[NSIG])(int) = {};

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Removes name in the folder parent, and what it holds up to depth levels down, with
// system calls only (getdents64 reads a folder without the heap). True when it is gone.
bool removeFromSignalHandler(int parent, const char *name, int depth)
{
    if (unlinkat(parent, name, 0) == 0 || errno == ENOENT)
        return true;
    const int folder = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return false;
    if (depth > 0) {
        // Read from the start again after each round of removals (a folder read while
        // entries go may skip some), until a round finds nothing it can remove.
        for (bool removedSome = true; removedSome;) {
            removedSome = false;
            lseek(folder, 0, SEEK_SET);
            alignas(dirent64) char entries[2048];
            const ssize_t size = getdents64(folder, entries, sizeof entries);
            for (ssize_t at = 0; at < size;) {
                const auto *entry = reinterpret_cast<const dirent64 *>(entries + at);
                at += entry->d_reclen;
                if (!isDotOrDotDot(entry->d_name) && removeFromSignalHandler(folder, entry->d_name, depth - 1))
                    removedSome = true;
            }
        }
    }
    close(folder);
    return unlinkat(parent, name, AT_REMOVEDIR) == 0;
}

void onTerminatingSignal(int signal)
{
    const int savedErrno = errno;
    if (platformHandlers[signal]) {
        if (folderForSignals[0] != '\0')
            removeFromSignalHandler(AT_FDCWD, folderForSignals, 4);
        folderForSignals[0] = '\0';
        platformHandlers[signal](signal);
        errno = savedErrno;
        return;
    }
    if (receivedSignal == 0 && quitPipeWriteEnd >= 0) {
        receivedSignal = signal;
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(quitPipeWriteEnd, &byte, 1);
        errno = savedErrno;
        return;
    }
    if (folderForSignals[0] != '\0')
        removeFromSignalHandler(AT_FDCWD, folderForSignals, 4);
    // Blocked while this handler runs: delivered as it returns, and ends the process.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    errno = savedErrno;
}

void handleTerminatingSignals();

void removeFolderOnTerminatingSignals(const QByteArray &folder)
{
    if (size_t(folder.size()) >= sizeof folderForSignals)
        return;
    std::memcpy(folderForSignals, folder.constData(), size_t(folder.size()) + 1);
    handleTerminatingSignals();
}

// Ours for each terminating signal, where it is not ignored; a handler of the platform
// plugin's that took a signal over is kept to run after ours.
void handleTerminatingSignals()
{
    for (const int signal : terminatingSignals) {
        struct sigaction current {};
        // A signal ignored from the start (as nohup leaves SIGHUP) stays ignored.
        if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        if (current.sa_handler == onTerminatingSignal)
            continue;
        if (current.sa_handler != SIG_DFL && !(current.sa_flags & SA_SIGINFO))
            platformHandlers[signal] = current.sa_handler;
        struct sigaction handler {};
        handler.sa_handler = onTerminatingSignal;
        sigemptyset(&handler.sa_mask);
        for (const int other : terminatingSignals)
            sigaddset(&handler.sa_mask, other);
        handler.sa_flags = SA_RESTART;
        sigaction(signal, &handler, nullptr);
    }
}

// A Wayland display named relative to a runtime folder that is not used stays reachable.
void keepWaylandDisplayOf(const QByteArray &runtimeFolder)
{
    const QByteArray display = qgetenv("WAYLAND_DISPLAY");
    if (!display.isEmpty() && !display.startsWith('/') && QFile::exists(QFile::decodeName(runtimeFolder + '/' + display)))
        qputenv("WAYLAND_DISPLAY", runtimeFolder + '/' + display);
}

// The sound library looks for its server in the runtime folder when one is
// named, and otherwise where the login's server without one puts its socket.
void findLoginSoundServer()
{
    if (!qEnvironmentVariableIsEmpty("PULSE_SERVER") || !qEnvironmentVariableIsEmpty("PULSE_RUNTIME_PATH"))
        return;
    QFile machineId(QStringLiteral("/etc/machine-id"));
    QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    if (configHome.isEmpty())
        configHome = qgetenv("HOME") + "/.config";
    if (machineId.open(QIODevice::ReadOnly)) {
        const QByteArray soundFolder = configHome + "/pulse/" + machineId.readLine().trimmed() + "-runtime";
        if (QFileInfo(QString::fromLocal8Bit(soundFolder)).isDir())
            qputenv("PULSE_RUNTIME_PATH", soundFolder);
    }
}

// TMPDIR when it names a folder, /tmp otherwise (unset, relative or missing), as the
// C library's conventions have it. The toolkit's own answer for a missing one is empty,
// which would put the folder in /.
QByteArray temporaryFolder()
{
    const QByteArray named = qgetenv("TMPDIR");
    struct stat info {};
    if (named.startsWith('/') && stat(named.constData(), &info) == 0 && S_ISDIR(info.st_mode))
        return named.endsWith('/') && named.size() > 1 ? named.chopped(1) : named;
    if (!named.isEmpty()) {
        qCWarning(lcStartup).noquote() << QStringLiteral("TMPDIR %1 is not a folder; the program uses /tmp")
                                              .arg(QFile::decodeName(named));
        qputenv("TMPDIR", "/tmp");
    }
    return "/tmp";
}

// mkdtemp on the template, watched for by the terminating signals once made. A signal
// that comes between making the folder and watching for it waits until the folder is
// watched for (nothing else runs in other threads yet).
bool makePrivateFolder(QByteArray *folder)
{
    sigset_t terminating, previous;
    sigemptyset(&terminating);
    for (const int signal : terminatingSignals)
        sigaddset(&terminating, signal);
    pthread_sigmask(SIG_BLOCK, &terminating, &previous);
    const bool made = mkdtemp(folder->data()) != nullptr;
    const int madeErrno = errno;
    if (made)
        removeFolderOnTerminatingSignals(*folder);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = madeErrno;
    return made;
}

} // namespace

void provideRuntimeFolder()
{
    const QByteArray named = qgetenv("XDG_RUNTIME_DIR");
    if (!named.isEmpty()) {
        const QString reason = unusableRuntimeFolder(named);
        if (reason.isEmpty()) {
            qCDebug(lcStartup) << "runtime folder:" << named;
            return;
        }
        qCWarning(lcStartup).noquote() << QStringLiteral("XDG_RUNTIME_DIR %1 is not usable (%2); the program uses "
                                                        "a folder of its own").arg(QFile::decodeName(named), reason);
        keepWaylandDisplayOf(named);
    }
    // A login whose environment lost XDG_RUNTIME_DIR, or came to another user's, still has its folder.
    const QByteArray loginFolder = "/run/user/" + QByteArray::number(geteuid());
    if (unusableRuntimeFolder(loginFolder).isEmpty()) {
        qputenv("XDG_RUNTIME_DIR", loginFolder);
        qCDebug(lcStartup) << "runtime folder:" << loginFolder;
        return;
    }
    findLoginSoundServer();
    const QByteArray temporary = temporaryFolder();
    QByteArray folder = temporary + "/nihonshib-runtime-XXXXXX";
    if (!makePrivateFolder(&folder)) {
        // The folder TMPDIR names takes no new folder: /tmp, as the C library would.
        const int madeErrno = errno;
        if (temporary == "/tmp") {
            qCWarning(lcStartup) << "cannot make a private runtime folder in /tmp:" << std::strerror(madeErrno);
            return;
        }
        qCWarning(lcStartup).noquote() << QStringLiteral("cannot make a folder in TMPDIR %1 (%2); the program uses /tmp")
                                              .arg(QFile::decodeName(temporary), QString::fromLocal8Bit(std::strerror(madeErrno)));
        qputenv("TMPDIR", "/tmp");
        folder = "/tmp/nihonshib-runtime-XXXXXX";
        if (!makePrivateFolder(&folder)) {
            qCWarning(lcStartup) << "cannot make a private runtime folder in /tmp:" << std::strerror(errno);
            return;
        }
    }
    privateRuntimeFolder().path = QFile::decodeName(folder);
    qputenv("XDG_RUNTIME_DIR", folder);
    qCDebug(lcStartup) << "runtime folder:" << folder;
}

void removeRuntimeFolder()
{
    if (privateRuntimeFolder().path.isEmpty())
        return;
    if (!QDir(privateRuntimeFolder().path).removeRecursively())
        qCWarning(lcStartup) << "cannot remove the private runtime folder" << privateRuntimeFolder().path;
    privateRuntimeFolder().path.clear();
    folderForSignals[0] = '\0';
}

void quitOnTerminatingSignals()
{
    if (folderForSignals[0] == '\0')
        return;
    int quitPipe[2];
    if (pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcStartup) << "cannot watch for terminating signals:" << std::strerror(errno);
        return;
    }
    auto *notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier] {
        notifier->setEnabled(false);
        // Every event loop, a modal one included, and no window asked to agree.
        QCoreApplication::exit(0);
    });
    quitPipeWriteEnd = quitPipe[1];
    // The platform plugin may have taken the signals over while the application was made.
    handleTerminatingSignals();
    qCDebug(lcStartup) << "a terminating signal ends the event loop from now on";
}

void endAsSignalled()
{
    const int signal = receivedSignal;
    if (signal == 0)
        return;
    removeRuntimeFolder();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace startup
