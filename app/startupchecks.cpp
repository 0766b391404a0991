#include "startupchecks.h"

#include "runtimefolder.h"

#include <QGuiApplication>
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

// A toolkit that cannot start its windowing system, or finds no screen to open a window
// on, ends the program with an English message and an abort: that ending is told in
// the program's words instead, with status 1 and the private folder removed.
QtMessageHandler toolkitMessageHandler = nullptr;
bool toolkitRunning = false;

// The toolkit's own lines: those the program tells in its own words are left out (the
// sound server ending a stream under a sound, going away or no longer answering while
// it plays, a runtime folder the program replaces); the rest are labelled as the
// toolkit's in the program's categories. Some come quoted, written as a string.
bool toldByTheProgram(const QString &message)
{
    QStringView line(message);
    if (line.size() >= 2 && line.startsWith(u'"') && line.endsWith(u'"'))
        line = line.mid(1, line.size() - 2);
    return line.startsWith(QLatin1String("Stream error:"))
        || line.startsWith(QLatin1String("PulseAudioService: pa_context_connect() failed"))
        || line.startsWith(QLatin1String("QString::arg: Argument missing: Failed to get sink information"))
        || line.startsWith(QLatin1String("QStandardPaths: wrong permissions on runtime directory"))
        || line.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"));
}

void passOn(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const char *category = context.category ? context.category : "default";
    const bool toolkits = qstrncmp(category, "nihonshib.", 10) != 0;
    if (toolkits && toldByTheProgram(message))
        return;
    const QMessageLogContext labelled(context.file, context.line, context.function,
                                      toolkits ? "nihonshib.toolkit" : category);
    // The toolkit's own category, where it has one, stays in the line.
    const QString text = toolkits && qstrcmp(category, "default") != 0
                             ? QStringLiteral("%1: %2").arg(QLatin1String(category), message)
                             : message;
    if (toolkitMessageHandler)
        toolkitMessageHandler(type, labelled, text);
    else
        printUtf8(qFormatLogMessage(type, labelled, text) + QLatin1Char('\n'));
}

void reportToolkitFailure(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg) {
        passOn(type, context, message);
        return;
    }
    const QString reason = message.section(QLatin1Char('\n'), 0, 0);
    if (toolkitRunning)
        printUtf8(QStringLiteral("nihonshib: ウィンドウシステムが動作を続けられなくなりました（%1）。\n"
                                 "nihonshib: the windowing system could not go on (%1).\n")
                      .arg(reason));
    else
        printUtf8(QStringLiteral("nihonshib: ウィンドウシステムを開始できませんでした（%1）。\n"
                                 "nihonshib: the windowing system could not be started (%1).\n")
                      .arg(reason));
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

bool toolkitStarted()
{
    heldDisplayConnection.reset();
    toolkitRunning = true;
    // A framebuffer or similar platform that found no screen still starts, and the
    // first window would end the program.
    if (!QGuiApplication::primaryScreen()) {
        printUtf8(QStringLiteral("nihonshib: 画面の種類 %1 にはウィンドウを開ける画面がありません。\n"
                                 "nihonshib: the windowing platform %1 has no screen to open the window on.\n")
                      .arg(QGuiApplication::platformName()));
        return false;
    }
    return true;
}

} // namespace startup
