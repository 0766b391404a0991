#include "fontmap.h"

#include <QFont>
#include <QFontDatabase>
#include <QSet>
#include <QGuiApplication>
#include <QHash>
#include <QStringList>

namespace fonts {

namespace {

// Stand-ins in order of preference; the first installed one wins. The IPA
// fonts come first because they are the ones the program is laid out with.
const QStringList &candidates(Kind kind)
{
    static const QStringList gothic = {
        QStringLiteral("IPAGothic"), QStringLiteral("IPAexGothic"), QStringLiteral("Noto Sans CJK JP"),
        QStringLiteral("Source Han Sans JP"), QStringLiteral("TakaoGothic"), QStringLiteral("VL Gothic"),
        QStringLiteral("Droid Sans Fallback"),
    };
    static const QStringList mincho = {
        QStringLiteral("IPAMincho"), QStringLiteral("IPAexMincho"), QStringLiteral("Noto Serif CJK JP"),
        QStringLiteral("Source Han Serif JP"), QStringLiteral("TakaoMincho"),
        // Better a gothic face than boxes when no mincho face is installed.
        QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL Gothic"),
        QStringLiteral("Droid Sans Fallback"),
    };
    static const QStringList serif = {
        QStringLiteral("Liberation Serif"), QStringLiteral("Nimbus Roman"), QStringLiteral("DejaVu Serif"),
        QStringLiteral("Noto Serif"), QStringLiteral("serif"),
    };
    static const QStringList sans = {
        QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans"),
        QStringLiteral("Noto Sans"), QStringLiteral("sans-serif"),
    };
    static const QStringList monospace = {
        QStringLiteral("Liberation Mono"), QStringLiteral("Nimbus Mono PS"), QStringLiteral("DejaVu Sans Mono"),
        QStringLiteral("Noto Mono"), QStringLiteral("monospace"),
    };
    static const QStringList none;
    switch (kind) {
    case Kind::JapaneseGothic: return gothic;
    case Kind::JapaneseMincho: return mincho;
    case Kind::Serif: return serif;
    case Kind::Sans: return sans;
    case Kind::Monospace: return monospace;
    case Kind::Unknown: break;
    }
    return none;
}

bool isInstalled(const QString &family)
{
    // Without a GUI application there is no font database to ask. Each question to
    // the database is a fontconfig look-up, so its list of families is read once.
    if (!qGuiApp)
        return false;
    static const QSet<QString> installed = [] {
        QSet<QString> families;
        for (QString name : QFontDatabase::families()) {
            // A family some foundries both supply is listed as "Family [foundry]".
            const qsizetype foundry = name.indexOf(QLatin1String(" ["));
            if (foundry > 0)
                name.truncate(foundry);
            families.insert(name.toCaseFolded());
        }
        return families;
    }();
    return installed.contains(family.trimmed().toCaseFolded());
}

QString firstInstalled(Kind kind)
{
    const QStringList &list = candidates(kind);
    for (const QString &family : list) {
        if (isInstalled(family))
            return family;
    }
    return list.isEmpty() ? QString() : list.first();
}

// Full-width letters and spaces folded, case and spaces ignored:
// "ＭＳ Ｐゴシック" and "MS Pゴシック" both become "mspゴシック".
QString folded(const QString &name)
{
    QString key = name.normalized(QString::NormalizationForm_KC).toLower();
    key.remove(QLatin1Char(' '));
    key.remove(QLatin1Char('-'));
    key.remove(QLatin1Char('_'));
    return key;
}

Kind kindOfName(const QString &name)
{
    const QString key = folded(name);
    if (key.isEmpty())
        return Kind::Unknown;

    if (key.contains(QStringLiteral("明朝")) || key.contains(QStringLiteral("mincho")))
        return Kind::JapaneseMincho;
    if (key.contains(QStringLiteral("ゴシック")) || key.contains(QStringLiteral("丸ゴ")))
        return Kind::JapaneseGothic;
    // Latin spellings of Japanese gothic faces; "Century Gothic" and the like
    // are Latin faces and fall through to the sans list.
    static const QStringList japaneseGothicPrefixes = {
        QStringLiteral("ms"), QStringLiteral("yu"), QStringLiteral("hg"), QStringLiteral("hiragino"),
        QStringLiteral("ipa"), QStringLiteral("takao"), QStringLiteral("vl"), QStringLiteral("meiryo"),
    };
    if (key.contains(QStringLiteral("gothic"))) {
        for (const QString &prefix : japaneseGothicPrefixes) {
            if (key.startsWith(prefix))
                return Kind::JapaneseGothic;
        }
        return Kind::Sans;
    }
    if (key.startsWith(QStringLiteral("meiryo")) || key == QStringLiteral("osaka")
        || key.startsWith(QStringLiteral("osaka")))
        return Kind::JapaneseGothic;

    static const QStringList serifNames = {
        QStringLiteral("times"), QStringLiteral("timesnewroman"), QStringLiteral("century"),
        QStringLiteral("centuryschoolbook"), QStringLiteral("georgia"), QStringLiteral("garamond"),
        QStringLiteral("bookantiqua"), QStringLiteral("palatino"), QStringLiteral("msserif"),
        QStringLiteral("serif"), QStringLiteral("tmsrmn"),
    };
    static const QStringList sansNames = {
        QStringLiteral("mssansserif"), QStringLiteral("arial"), QStringLiteral("helvetica"),
        QStringLiteral("tahoma"), QStringLiteral("verdana"),
        QStringLiteral("msshelldlg"), QStringLiteral("msshelldlg2"), QStringLiteral("segoeui"),
        QStringLiteral("calibri"), QStringLiteral("sansserif"), QStringLiteral("helv"),
        QStringLiteral("system"),
    };
    static const QStringList monospaceNames = {
        QStringLiteral("courier"), QStringLiteral("couriernew"), QStringLiteral("consolas"),
        QStringLiteral("lucidaconsole"), QStringLiteral("terminal"), QStringLiteral("fixedsys"),
        QStringLiteral("monospace"),
    };
    if (serifNames.contains(key))
        return Kind::Serif;
    if (sansNames.contains(key))
        return Kind::Sans;
    if (monospaceNames.contains(key))
        return Kind::Monospace;
    return Kind::Unknown;
}

} // namespace

QString familyFor(const QString &documentFontName)
{
    return familyFor(documentFontName, Kind::Unknown);
}

QString familyFor(const QString &documentFontName, Kind kind)
{
    static QHash<QString, QString> cache;
    const QString cacheKey = documentFontName + QChar(u'\x1f') + QString::number(int(kind));
    const auto cached = cache.constFind(cacheKey);
    if (cached != cache.constEnd())
        return *cached;

    QString family;
    const Kind known = kindOfName(documentFontName);
    if (known != Kind::Unknown)
        family = firstInstalled(known);
    else if (isInstalled(documentFontName) || kind == Kind::Unknown)
        family = documentFontName.trimmed();
    else
        family = firstInstalled(kind);

    // Only answers checked against a font database are worth keeping; a
    // hostile document full of font names must not grow the cache for ever.
    if (qGuiApp) {
        if (cache.size() > 1000)
            cache.clear();
        cache.insert(cacheKey, family);
    }
    return family;
}

QString installedFamilyFor(const QString &documentFontName, Kind kind)
{
    const QString family = familyFor(documentFontName, kind);
    // Without a font database every answer stands: nothing can be checked.
    if (qGuiApp && !isInstalled(family))
        return QString();
    return family;
}

void installSubstitutions()
{
    static bool installed = false;
    if (installed || !qGuiApp)
        return;
    installed = true;

    // The names the window layouts and the documents ask for, full-width and
    // Latin spellings alike; fontconfig knows none of them.
    static const QStringList names = {
        QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
        QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
        QStringLiteral("ＭＳ ＵＩ Gothic"), QStringLiteral("MS UI Gothic"),
        QStringLiteral("ＭＳ 明朝"), QStringLiteral("MS Mincho"),
        QStringLiteral("ＭＳ Ｐ明朝"), QStringLiteral("MS PMincho"),
        QStringLiteral("平成明朝"), QStringLiteral("平成角ゴシック"),
    };
    for (const QString &name : names) {
        const Kind kind = kindOfName(name);
        QStringList installed;
        for (const QString &family : candidates(kind)) {
            if (isInstalled(family))
                installed.append(family);
        }
        if (installed.isEmpty())
            installed = candidates(kind);
        QFont::removeSubstitutions(name);
        QFont::insertSubstitutions(name, installed);
    }
}

} // namespace fonts
