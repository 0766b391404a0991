#include "appicon.h"
#include "desktopfileproperties.h"
#include "examapplication.h"
#include "examwindow.h"
#include "startupchecks.h"

int main(int argc, char *argv[])
{
    if (!startup::prepare(argc, argv))
        return 1;

    ExamApplication app(argc, argv);
    startup::toolkitStarted();
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
