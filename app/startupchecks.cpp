#include "startupchecks.h"

#include "runtimefolder.h"

#include <QStringList>

#include <cstdlib>

namespace startup {

namespace {

QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
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

} // namespace

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
