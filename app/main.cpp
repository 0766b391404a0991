#include "appicon.h"
#include "desktopfileproperties.h"
#include "examapplication.h"
#include "examwindow.h"
#include "runtimefolder.h"
#include "soundmodule.h"
#include "startupchecks.h"

namespace {

int runExam(int &argc, char *argv[])
{
    ExamApplication app(argc, argv);
    startup::quitOnTerminatingSignals();
    if (!startup::toolkitStarted())
        return 1;
    QApplication::setApplicationName(QStringLiteral("nihonshib"));
    // The menu entry's ID, so that docks and task switchers match the running
    // windows to the installed application (their WM_CLASS is the application name,
    // the desktop file's StartupWMClass).
    QGuiApplication::setDesktopFileName(QStringLiteral("invalid.nihonshib.nihonshib"));
    DesktopFileProperties desktopFileProperties;
    app.installEventFilter(&desktopFileProperties);
    QApplication::setWindowIcon(applicationIcon());

    ExamWindow window;
    window.show();
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    if (!startup::prepare(argc, argv))
        return 1;

    const int status = runExam(argc, argv);
    // The windows and the application object are gone: a terminating signal that
    // ended the run now ends the process as it would have at once.
    startup::endAsSignalled();
    // An audio thread left stuck in the sound libraries would hold up their teardown at
    // exit for ever: then the process ends here, its private folder removed first.
    endAtOnceIfAudioThreadLeftRunning(status, startup::removeRuntimeFolder);
    return status;
}
