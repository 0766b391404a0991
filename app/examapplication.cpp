#include "examapplication.h"

#include "runtimeerror.h"

#include <QLibraryInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcToolkitTranslation, "nihonshib.translation", QtWarningMsg)

ExamApplication::ExamApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // Qt's own Japanese (Debian's qt6-translations-l10n), named exactly: one file
    // opened and mapped, with none of the locale's fallbacks searched, whatever LANG
    // says. Without it the toolkit's texts stay English and the program runs on.
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (m_toolkitTranslator.load(QStringLiteral("qtbase_ja"), folder))
        installTranslator(&m_toolkitTranslator);
    else
        qCWarning(lcToolkitTranslation, "Qt's Japanese translation %s/qtbase_ja.qm could not be read: "
                  "the toolkit's dialogs stay in English", qUtf8Printable(folder));
    installTranslator(&m_toolkitGaps);
}

QString ExamApplication::ToolkitGaps::translate(const char *context, const char *sourceText, const char *,
                                                int) const
{
    static const char *const gaps[][2] = {
        {"Pages", "ページ指定"},
        {"Double Sided Printing", "両面印刷"},
        {"Off", "しない"},
        {"Long side binding", "長辺とじ"},
        {"Short side binding", "短辺とじ"},
    };
    if (qstrcmp(context, "QPrintSettingsOutput") != 0)
        return {};
    for (const auto &gap : gaps) {
        if (qstrcmp(sourceText, gap[0]) == 0)
            return QString::fromUtf8(gap[1]);
    }
    return {};
}

bool ExamApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        endWithRunTimeError(std::current_exception());
    }
    return true;
}
