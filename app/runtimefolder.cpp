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

bool isOwnPrivateFolder(const QByteArray &path)
{
    struct stat info {};
    return lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid()
        && (info.st_mode & 0777) == 0700;
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

void removeFolderOnTerminatingSignals(const QByteArray &folder)
{
    if (size_t(folder.size()) >= sizeof folderForSignals)
        return;
    std::memcpy(folderForSignals, folder.constData(), size_t(folder.size()) + 1);
    for (const int signal : terminatingSignals) {
        struct sigaction current {};
        // A signal ignored from the start (as nohup leaves SIGHUP) stays ignored.
        if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        struct sigaction handler {};
        handler.sa_handler = onTerminatingSignal;
        sigemptyset(&handler.sa_mask);
        for (const int other : terminatingSignals)
            sigaddset(&handler.sa_mask, other);
        handler.sa_flags = SA_RESTART;
        sigaction(signal, &handler, nullptr);
    }
}

} // namespace

void provideRuntimeFolder()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    // A login whose environment lost XDG_RUNTIME_DIR still has its folder.
    const QByteArray loginFolder = "/run/user/" + QByteArray::number(geteuid());
    if (isOwnPrivateFolder(loginFolder)) {
        qputenv("XDG_RUNTIME_DIR", loginFolder);
        return;
    }
    // The sound library looks for its server in the runtime folder when one is
    // named, and otherwise where the login's server without one puts its socket.
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER") && qEnvironmentVariableIsEmpty("PULSE_RUNTIME_PATH")) {
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
    QByteArray folder = QFile::encodeName(QDir::tempPath()) + "/nihonshib-runtime-XXXXXX";
    // A terminating signal that comes between making the folder and watching for it
    // waits until the folder is watched for (nothing else runs in other threads yet).
    sigset_t terminating, previous;
    sigemptyset(&terminating);
    for (const int signal : terminatingSignals)
        sigaddset(&terminating, signal);
    pthread_sigmask(SIG_BLOCK, &terminating, &previous);
    const bool made = mkdtemp(folder.data()) != nullptr;
    const int madeErrno = errno;
    if (made)
        removeFolderOnTerminatingSignals(folder);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (!made) {
        qCWarning(lcStartup) << "cannot make a private runtime folder in" << QDir::tempPath()
                             << std::strerror(madeErrno);
        return;
    }
    privateRuntimeFolder().path = QFile::decodeName(folder);
    qputenv("XDG_RUNTIME_DIR", folder);
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
