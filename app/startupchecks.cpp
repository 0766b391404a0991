#include "startupchecks.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <fontconfig/fontconfig.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace startup {

namespace {

void printUtf8(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

bool isOwnPrivateFolder(const QByteArray &path)
{
    struct stat info {};
    return lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid()
        && (info.st_mode & 0777) == 0700;
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
QByteArray argumentValue(int argc, char *argv[], const char *name)
{
    for (int i = 1; i + 1 < argc; ++i) {
        const char *argument = argv[i];
        if (argument[0] != '-')
            continue;
        if (argument[1] == '-')
            ++argument;
        if (std::strcmp(argument + 1, name) == 0)
            return QByteArray(argv[i + 1]);
    }
    return QByteArray();
}

bool xDisplayReachable(const QByteArray &displayName)
{
    xcb_connection_t *connection = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}

bool waylandDisplayReachable()
{
    QByteArray name = qgetenv("WAYLAND_DISPLAY");
    if (name.isEmpty()) {
        if (qgetenv("XDG_SESSION_TYPE") != "wayland")
            return false;
        name = "wayland-0";
    }
    if (!name.startsWith('/')) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (runtime.isEmpty())
            return false;
        name = runtime + '/' + name;
    }
    return canConnectToSocket(name);
}

void reportNoDisplay(const QByteArray &displayName)
{
    const QString shown = displayName.isEmpty() ? QStringLiteral("(なし / not set)") : QString::fromLocal8Bit(displayName);
    printUtf8(QStringLiteral(
                  "nihonshib: ウィンドウを開く画面がありません（X ディスプレイ %1 に接続できず、Wayland の画面もありません）。"
                  "デスクトップの中で起動してください。\n"
                  "nihonshib: there is no display to open the window on (cannot connect to the X display %1, "
                  "and there is no Wayland display). Start the program from a desktop session.\n")
                  .arg(shown));
}

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
    // A login whose environment lost XDG_RUNTIME_DIR still has its folder; without
    // it the toolkit would make a folder of its own under /tmp.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray loginFolder = "/run/user/" + QByteArray::number(geteuid());
        if (isOwnPrivateFolder(loginFolder))
            qputenv("XDG_RUNTIME_DIR", loginFolder);
    }

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

bool displayAvailable(int argc, char *argv[])
{
    QByteArray platforms = argumentValue(argc, argv, "platform");
    if (platforms.isEmpty())
        platforms = qgetenv("QT_QPA_PLATFORM");
    QByteArray displayName = argumentValue(argc, argv, "display");
    if (displayName.isEmpty())
        displayName = qgetenv("DISPLAY");

    // With nothing named the toolkit tries X, or Wayland in a Wayland session.
    QByteArrayList names = platforms.split(';');
    if (platforms.isEmpty())
        names = {"xcb", "wayland"};
    for (const QByteArray &entry : std::as_const(names)) {
        const qsizetype colon = entry.indexOf(':');
        const QByteArray name = (colon < 0 ? entry : entry.first(colon)).trimmed();
        if (name == "xcb") {
            if (xDisplayReachable(displayName))
                return true;
        } else if (name.startsWith("wayland")) {
            if (waylandDisplayReachable())
                return true;
        } else if (!name.isEmpty()) {
            // Off-screen, framebuffer, VNC and the like need no display to be reachable.
            return true;
        }
    }
    reportNoDisplay(displayName);
    return false;
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
    matchFontsForJapanese();
    keepFontCachesReadOnly();
    if (!displayAvailable(argc, argv))
        return false;
    warnAboutMissingFonts();
    return true;
}

} // namespace startup
