#include "sessionsetup.h"

#include "runtimefolder.h"

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <sys/stat.h>

namespace startup {

namespace {

bool isSocket(const QByteArray &path)
{
    struct stat info {};
    return stat(path.constData(), &info) == 0 && S_ISSOCK(info.st_mode);
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

void printUtf8(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

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

} // namespace startup
