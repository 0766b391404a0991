#include "displaycheck.h"

#include <QByteArrayList>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QPluginLoader>

#include <xcb/xcb.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <sys/socket.h>
#include <sys/un.h>
#include <fcntl.h>
#include <csignal>
#include <pthread.h>
#include <cstddef>
#include <algorithm>
#include <unistd.h>

namespace startup {

namespace {

// A path starting with a NUL byte names an abstract socket.
bool canConnectToSocket(const QByteArray &path)
{
    sockaddr_un address {};
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const socklen_t length = path.startsWith('\0') ? socklen_t(offsetof(sockaddr_un, sun_path) + size_t(path.size()))
                                                   : socklen_t(sizeof address);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0;
    close(fd);
    return connected;
}

// Whether an X server listens for the local display named (":0", "unix:0.1"): its
// socket takes a connection. Unknown for displays over the network.
bool xServerListening(const QByteArray &displayName)
{
    QByteArray number = displayName.startsWith("unix:") ? displayName.mid(5)
                        : displayName.startsWith(':')   ? displayName.mid(1)
                                                        : QByteArray();
    if (const qsizetype dot = number.indexOf('.'); dot >= 0)
        number.truncate(dot);
    bool isNumber = false;
    number.toUInt(&isNumber);
    if (!isNumber)
        return false;
    const QByteArray path = "/tmp/.X11-unix/X" + number;
    return canConnectToSocket('\0' + path) || canConnectToSocket(path);
}

// The X library writes a refusing server's reason to standard error itself: while it
// connects, standard error goes into a pipe, read back as the reason.
class StandardErrorCapture
{
public:
    StandardErrorCapture()
    {
        if (pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        m_saved = dup(STDERR_FILENO);
        if (m_saved < 0 || dup2(m_pipe[1], STDERR_FILENO) < 0)
            restore();
    }
    ~StandardErrorCapture()
    {
        restore();
        if (m_pipe[0] >= 0)
            close(m_pipe[0]);
    }
    StandardErrorCapture(const StandardErrorCapture &) = delete;
    StandardErrorCapture &operator=(const StandardErrorCapture &) = delete;

    QByteArray take()
    {
        restore();
        QByteArray text;
        char buffer[512];
        for (ssize_t got; m_pipe[0] >= 0 && (got = read(m_pipe[0], buffer, sizeof buffer)) > 0;)
            text.append(buffer, got);
        return text.trimmed();
    }

private:
    void restore()
    {
        if (m_saved >= 0) {
            dup2(m_saved, STDERR_FILENO);
            close(m_saved);
            m_saved = -1;
        }
        if (m_pipe[1] >= 0) {
            close(m_pipe[1]);
            m_pipe[1] = -1;
        }
    }

    int m_pipe[2] = {-1, -1};
    int m_saved = -1;
};

enum class XAnswer { Connected, Refused, Silent };

// xcb_connect waits as long as the server takes to answer, so it runs on a thread
// of its own; past the deadline the thread is left to finish (or not) by itself
// and drops whatever it gets.
XAnswer connectToX(const QByteArray &displayName, std::chrono::milliseconds deadline,
                   std::shared_ptr<void> *connection, QByteArray *refusal)
{
    StandardErrorCapture reason;
    struct Attempt
    {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        bool abandoned = false;
        xcb_connection_t *connection = nullptr;
    };
    const auto attempt = std::make_shared<Attempt>();
    std::thread([attempt, displayName] {
        // A server that closes the connection before reading the setup request turns
        // xcb's write into SIGPIPE, which would end the program without a word. The
        // signal goes to the writing thread: blocked here, it stays pending and is
        // dropped with the thread, and xcb reports the broken connection instead.
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        xcb_connection_t *made = xcb_connect(displayName.constData(), nullptr);
        const std::lock_guard lock(attempt->mutex);
        if (attempt->abandoned) {
            xcb_disconnect(made);
            return;
        }
        attempt->connection = made;
        attempt->done = true;
        attempt->finished.notify_all();
    }).detach();

    std::unique_lock lock(attempt->mutex);
    if (!attempt->finished.wait_for(lock, deadline, [&] { return attempt->done; })) {
        attempt->abandoned = true;
        return XAnswer::Silent;
    }
    xcb_connection_t *made = attempt->connection;
    if (xcb_connection_has_error(made)) {
        xcb_disconnect(made);
        *refusal = reason.take();
        return XAnswer::Refused;
    }
    *connection = std::shared_ptr<void>(made, [](void *held) {
        xcb_disconnect(static_cast<xcb_connection_t *>(held));
    });
    return XAnswer::Connected;
}

// Asks again while a server listens but drops the connection without a reason, as one
// does that resets after its last client left, until the deadline.
XAnswer connectToXWithin(const QByteArray &displayName, std::chrono::milliseconds deadline,
                         std::shared_ptr<void> *connection, QByteArray *refusal)
{
    using namespace std::chrono;
    const auto end = steady_clock::now() + deadline;
    for (milliseconds pause{10};; pause = std::min(pause * 2, milliseconds{200})) {
        const auto left = duration_cast<milliseconds>(end - steady_clock::now());
        const XAnswer answer = connectToX(displayName, std::max(left, milliseconds{1}), connection, refusal);
        if (answer != XAnswer::Refused || !refusal->isEmpty() || steady_clock::now() + pause >= end
            || !xServerListening(displayName))
            return answer;
        std::this_thread::sleep_for(pause);
    }
}

bool waylandDisplayReachable(const QProcessEnvironment &environment)
{
    QByteArray name = environment.value(QStringLiteral("WAYLAND_DISPLAY")).toLocal8Bit();
    if (name.isEmpty()) {
        if (environment.value(QStringLiteral("XDG_SESSION_TYPE")) != QLatin1String("wayland"))
            return false;
        name = "wayland-0";
    }
    if (!name.startsWith('/')) {
        const QByteArray runtime = environment.value(QStringLiteral("XDG_RUNTIME_DIR")).toLocal8Bit();
        if (runtime.isEmpty())
            return false;
        name = runtime + '/' + name;
    }
    return canConnectToSocket(name);
}

// The folders the toolkit loads platform plugins from.
QStringList platformPluginFolders(const QStringList &arguments, const QProcessEnvironment &environment)
{
    QStringList folders;
    const QByteArray given = argumentValue(arguments, "platformpluginpath");
    if (!given.isEmpty())
        folders += QString::fromLocal8Bit(given);
    const QString platformPath = environment.value(QStringLiteral("QT_QPA_PLATFORM_PLUGIN_PATH"));
    if (!platformPath.isEmpty())
        folders += platformPath;
    QStringList pluginPaths = environment.value(QStringLiteral("QT_PLUGIN_PATH"))
                                  .split(QDir::listSeparator(), Qt::SkipEmptyParts);
    pluginPaths += QLibraryInfo::path(QLibraryInfo::PluginsPath);
    pluginPaths += QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    for (const QString &path : std::as_const(pluginPaths))
        folders += path + QStringLiteral("/platforms");
    return folders;
}

QString shownDisplay(const QByteArray &displayName)
{
    return displayName.isEmpty() ? QStringLiteral("(なし / not set)") : QString::fromLocal8Bit(displayName);
}

} // namespace

QByteArray argumentValue(const QStringList &arguments, const char *name)
{
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        QStringView argument = arguments.at(i);
        if (!argument.startsWith(QLatin1Char('-')))
            continue;
        argument = argument.sliced(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        if (argument == QLatin1String(name))
            return arguments.at(i + 1).toLocal8Bit();
    }
    return QByteArray();
}

DisplayCheck checkDisplay(const QStringList &arguments, const QProcessEnvironment &environment,
                          const QStringList &installedPlatforms, std::chrono::milliseconds deadline)
{
    DisplayCheck check;
    check.installedPlatforms = installedPlatforms;
    check.platforms = argumentValue(arguments, "platform");
    if (check.platforms.isEmpty())
        check.platforms = environment.value(QStringLiteral("QT_QPA_PLATFORM")).toLocal8Bit();
    check.displayName = argumentValue(arguments, "display");
    if (check.displayName.isEmpty())
        check.displayName = environment.value(QStringLiteral("DISPLAY")).toLocal8Bit();

    // With nothing named the toolkit tries X, or Wayland in a Wayland session.
    // Named ones are tried in order, skipping those no plugin answers to.
    const bool named = !check.platforms.trimmed().isEmpty();
    const QByteArrayList names = named ? check.platforms.split(';') : QByteArrayList{"xcb", "wayland"};
    bool anyInstalled = !named;
    bool refused = false;
    for (const QByteArray &entry : names) {
        const qsizetype colon = entry.indexOf(':');
        const QByteArray name = (colon < 0 ? entry : entry.first(colon)).trimmed();
        if (name.isEmpty() || (named && !installedPlatforms.contains(QString::fromLocal8Bit(name), Qt::CaseInsensitive)))
            continue;
        anyInstalled = true;
        if (name == "xcb") {
            if (check.displayName.isEmpty())
                continue;
            switch (connectToXWithin(check.displayName, deadline, &check.connection, &check.refusal)) {
            case XAnswer::Connected:
                check.verdict = DisplayVerdict::Reachable;
                return check;
            case XAnswer::Silent:
                check.verdict = DisplayVerdict::NotAnswering;
                return check;
            case XAnswer::Refused:
                refused = xServerListening(check.displayName) || !check.refusal.isEmpty();
                break;
            }
        } else if (name.startsWith("wayland")) {
            if (waylandDisplayReachable(environment)) {
                check.verdict = DisplayVerdict::Reachable;
                return check;
            }
        } else {
            // Off-screen, framebuffer, VNC and the like need no display to be reachable.
            check.verdict = DisplayVerdict::NotNeeded;
            return check;
        }
    }
    if (!anyInstalled)
        check.verdict = DisplayVerdict::UnknownPlatform;
    else if (refused)
        check.verdict = DisplayVerdict::Refused;
    else if (check.displayName.isEmpty() && environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty())
        check.verdict = DisplayVerdict::NotNamed;
    else
        check.verdict = DisplayVerdict::NoDisplay;
    return check;
}

QStringList installedPlatforms(const QStringList &arguments, const QProcessEnvironment &environment)
{
    QStringList names;
    for (const QString &folder : platformPluginFolders(arguments, environment)) {
        const QStringList files = QDir(folder).entryList({QStringLiteral("*.so")}, QDir::Files);
        for (const QString &file : files) {
            const QJsonObject metaData = QPluginLoader(folder + QLatin1Char('/') + file).metaData();
            for (const QJsonValue key : metaData.value(QLatin1String("MetaData")).toObject()
                                            .value(QLatin1String("Keys")).toArray()) {
                if (!names.contains(key.toString(), Qt::CaseInsensitive))
                    names.append(key.toString());
            }
        }
    }
    return names;
}

QString displayFailureMessage(const DisplayCheck &check)
{
    const QString display = shownDisplay(check.displayName);
    switch (check.verdict) {
    case DisplayVerdict::Reachable:
    case DisplayVerdict::NotNeeded:
        break;
    case DisplayVerdict::NotNamed:
        return QStringLiteral("nihonshib: ウィンドウを開く画面が指定されていません（DISPLAY も WAYLAND_DISPLAY もありません）。"
                              "デスクトップの中で起動してください。\n"
                              "nihonshib: no display is named (neither DISPLAY nor WAYLAND_DISPLAY is set). "
                              "Start the program from a desktop session.\n");
    case DisplayVerdict::NoDisplay:
        return QStringLiteral("nihonshib: X ディスプレイ %1 からも Wayland の画面からも応答がありません（どちらのサーバーも動いていません）。"
                              "デスクトップの中で起動してください。\n"
                              "nihonshib: there is no answer from the X display %1 nor from a Wayland display "
                              "(no server is running there). Start the program from a desktop session.\n")
            .arg(display);
    case DisplayVerdict::Refused: {
        const QString reason = QString::fromLocal8Bit(check.refusal).simplified();
        return QStringLiteral("nihonshib: X ディスプレイ %1 が接続を拒否しました（%2）。\n"
                              "nihonshib: the X display %1 refused the connection (%3).\n")
            .arg(display, reason.isEmpty() ? QStringLiteral("理由は示されませんでした") : reason,
                 reason.isEmpty() ? QStringLiteral("no reason given") : reason);
    }
    case DisplayVerdict::NotAnswering:
        return QStringLiteral("nihonshib: X ディスプレイ %1 は接続を受け付けましたが、%2 秒待っても応答しません。"
                              "X サーバーを再起動してください。\n"
                              "nihonshib: the X display %1 took the connection but did not answer within %2 seconds. "
                              "Restart the X server.\n")
            .arg(display)
            .arg(std::chrono::duration_cast<std::chrono::seconds>(displayDeadline).count());
    case DisplayVerdict::UnknownPlatform: {
        const QString names = check.installedPlatforms.join(QStringLiteral(", "));
        return QStringLiteral("nihonshib: 画面の種類 %1（QT_QPA_PLATFORM または -platform）はありません。"
                              "使える種類: %2\n"
                              "nihonshib: there is no windowing platform %1 (QT_QPA_PLATFORM or -platform); "
                              "available: %2\n")
            .arg(QString::fromLocal8Bit(check.platforms), names);
    }
    }
    return QString();
}

} // namespace startup
