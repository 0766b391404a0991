#include "startupchecks.h"

#include "runtimefolder.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QPluginLoader>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <fontconfig/fontconfig.h>
#include <xcb/xcb.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace startup {

namespace {

using namespace std::chrono_literals;

// A server that takes the connection but says nothing is wedged; the toolkit
// would wait on it for ever.
constexpr std::chrono::milliseconds displayDeadline = 5s;

void printUtf8(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

bool isSocket(const QByteArray &path)
{
    struct stat info {};
    return stat(path.constData(), &info) == 0 && S_ISSOCK(info.st_mode);
}

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
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

// The value following "-name" or "--name" on the command line, as the toolkit reads it.
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

QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

enum class XAnswer { Connected, Refused, Silent };

// xcb_connect waits as long as the server takes to answer, so it runs on a thread
// of its own; past the deadline the thread is left to finish (or not) by itself
// and drops whatever it gets.
XAnswer connectToX(const QByteArray &displayName, std::chrono::milliseconds deadline,
                   std::shared_ptr<void> *connection)
{
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
        return XAnswer::Refused;
    }
    *connection = std::shared_ptr<void>(made, [](void *held) {
        xcb_disconnect(static_cast<xcb_connection_t *>(held));
    });
    return XAnswer::Connected;
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

// A toolkit that cannot start its windowing system ends the program with an
// English message and an abort; while the application object is being made,
// that ending is told in the program's words, with status 1.
QtMessageHandler toolkitMessageHandler = nullptr;

void reportToolkitFailure(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg) {
        if (toolkitMessageHandler)
            toolkitMessageHandler(type, context, message);
        else
            printUtf8(qFormatLogMessage(type, context, message) + QLatin1Char('\n'));
        return;
    }
    printUtf8(QStringLiteral("nihonshib: ウィンドウシステムを開始できませんでした（%1）。\n"
                             "nihonshib: the windowing system could not be started (%1).\n")
                  .arg(message.section(QLatin1Char('\n'), 0, 0)));
    removeRuntimeFolder();
    std::_Exit(1);
}

// Held from the display check until the toolkit has connected.
std::shared_ptr<void> heldDisplayConnection;

bool familyInstalled(const char *family)
{
    FcPattern *pattern = FcPatternBuild(nullptr, FC_FAMILY, FcTypeString, family, static_cast<char *>(nullptr));
    FcObjectSet *objects = FcObjectSetBuild(FC_FAMILY, static_cast<char *>(nullptr));
    FcFontSet *found = FcFontList(nullptr, pattern, objects);
    const bool installed = found && found->nfont > 0;
    if (found)
        FcFontSetDestroy(found);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return installed;
}

// The sound library authenticates with a cookie file and, when the user has
// none, writes a new random one into HOME at the first chime. A cookie read
// from /dev/urandom is just as random and writes nothing; a server of the same
// user accepts the connection by its credentials either way. A cookie the
// user already has, or one named by PULSE_COOKIE, is used as before.
void keepSoundCookieUnwritten()
{
    if (!qEnvironmentVariableIsEmpty("PULSE_COOKIE"))
        return;
    const QByteArray home = qgetenv("HOME");
    QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    if (configHome.isEmpty())
        configHome = home + "/.config";
    for (const QByteArray &cookie : {configHome + "/pulse/cookie", home + "/.pulse-cookie"}) {
        if (QFile::exists(QString::fromLocal8Bit(cookie)))
            return;
    }
    qputenv("PULSE_COOKIE", "/dev/urandom");
}

} // namespace

void keepSessionClean()
{
    provideRuntimeFolder();
    keepSoundCookieUnwritten();

    // With no address the D-Bus library tries the login's bus socket and then
    // autolaunches a bus. An address no transport accepts makes every connection
    // attempt fail at once instead; where a bus exists, it is used as before.
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isSocket(runtime + "/bus"))
        return;
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
}

void keepFontCachesReadOnly()
{
    // The configuration fontconfig would load by itself (FONTCONFIG_FILE or fonts.conf),
    // with every cache folder still read, the user's own ones included: a system cache
    // that is stale or missing is then covered by the user's, and nothing is scanned
    // that any other program of the user has already cached. What fontconfig scans it
    // writes into the first cache folder it may write in; /dev/null, put first, is such
    // a "folder" for its check, and as no file can be made under it nothing is written
    // anywhere. Nothing here may touch the default configuration: loading it scans and caches.
    FcConfig *config = FcConfigCreate();
    if (!config)
        return;
    FcChar8 *name = FcConfigGetFilename(config, nullptr);
    QFile file(name ? QFile::decodeName(reinterpret_cast<const char *>(name)) : QString());
    FcStrFree(name);
    static const QRegularExpression configurationStart(QStringLiteral(R"(<fontconfig(\s[^>]*)?>)"));
    if (file.open(QIODevice::ReadOnly)) {
        QString text = QString::fromUtf8(file.readAll());
        const QRegularExpressionMatch start = configurationStart.match(text);
        if (start.hasMatch())
            text.insert(start.capturedEnd(), QStringLiteral("<cachedir>/dev/null</cachedir>"));
        const QByteArray bytes = text.toUtf8();
        if (start.hasMatch()
            && FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8 *>(bytes.constData()), FcTrue)
            && FcConfigBuildFonts(config))
            FcConfigSetCurrent(config);
    }
    FcConfigDestroy(config); // the current configuration keeps its own reference
}

void matchFontsForJapanese()
{
    // fontconfig takes its language from the locale unless FC_LANG names one:
    // under ja_JP it prefers other faces for generic names and sorts fallbacks
    // differently, so the windows would look different from one locale to another.
    qputenv("FC_LANG", "ja");
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
    for (const QByteArray &entry : names) {
        const qsizetype colon = entry.indexOf(':');
        const QByteArray name = (colon < 0 ? entry : entry.first(colon)).trimmed();
        if (name.isEmpty() || (named && !installedPlatforms.contains(QString::fromLocal8Bit(name), Qt::CaseInsensitive)))
            continue;
        anyInstalled = true;
        if (name == "xcb") {
            if (check.displayName.isEmpty())
                continue;
            switch (connectToX(check.displayName, deadline, &check.connection)) {
            case XAnswer::Connected:
                check.verdict = DisplayVerdict::Reachable;
                return check;
            case XAnswer::Silent:
                check.verdict = DisplayVerdict::NotAnswering;
                return check;
            case XAnswer::Refused:
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
    check.verdict = anyInstalled ? DisplayVerdict::NoDisplay : DisplayVerdict::UnknownPlatform;
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
    case DisplayVerdict::NoDisplay:
        return QStringLiteral(
                   "nihonshib: ウィンドウを開く画面がありません（X ディスプレイ %1 に接続できず、Wayland の画面もありません）。"
                   "デスクトップの中で起動してください。\n"
                   "nihonshib: there is no display to open the window on (cannot connect to the X display %1, "
                   "and there is no Wayland display). Start the program from a desktop session.\n")
            .arg(display);
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

void warnAboutMissingFonts()
{
    struct JapaneseFont
    {
        const char *family;
        const char *package;
    };
    static const JapaneseFont fonts[] = {
        {"IPAGothic", "fonts-ipafont-gothic"},
        {"IPAMincho", "fonts-ipafont-mincho"},
    };
    if (!FcInit())
        return;
    QStringList families;
    QStringList packages;
    for (const JapaneseFont &font : fonts) {
        if (!familyInstalled(font.family)) {
            families << QString::fromLatin1(font.family);
            packages << QString::fromLatin1(font.package);
        }
    }
    if (families.isEmpty())
        return;
    printUtf8(QStringLiteral("nihonshib: 日本語フォント %1 がないため、文字が正しく表示されません。"
                             "パッケージ %2 を入れてください（sudo apt install %3）。\n"
                             "nihonshib: warning: the Japanese fonts %1 are not installed, so text will not show "
                             "properly; install the packages %2 (sudo apt install %3).\n")
                  .arg(families.join(QStringLiteral(", ")), packages.join(QStringLiteral(", ")),
                       packages.join(QLatin1Char(' '))));
}

bool prepare(int argc, char *argv[])
{
    keepSessionClean();

    const QStringList arguments = argumentsOf(argc, argv);
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Plugins are only looked through when platforms are named: the default is always there.
    const bool named = !argumentValue(arguments, "platform").isEmpty()
                       || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    DisplayCheck check = checkDisplay(arguments, environment,
                                      named ? installedPlatforms(arguments, environment) : QStringList(),
                                      displayDeadline);
    if (check.verdict != DisplayVerdict::Reachable && check.verdict != DisplayVerdict::NotNeeded) {
        printUtf8(displayFailureMessage(check));
        return false;
    }
    heldDisplayConnection = std::move(check.connection);
    toolkitMessageHandler = qInstallMessageHandler(reportToolkitFailure);

    // After the display check, so a program that cannot open a window says so at once.
    matchFontsForJapanese();
    keepFontCachesReadOnly();
    warnAboutMissingFonts();
    return true;
}

void toolkitStarted()
{
    qInstallMessageHandler(toolkitMessageHandler);
    heldDisplayConnection.reset();
}

} // namespace startup
