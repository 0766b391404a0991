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
