#include "runtimefolder.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cerrno>
#include <cstdlib>
#include <cstring>
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
    if (!mkdtemp(folder.data())) {
        qCWarning(lcStartup) << "cannot make a private runtime folder in" << QDir::tempPath() << std::strerror(errno);
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
}

} // namespace startup
