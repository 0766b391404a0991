#include "appicon.h"
#include "examapplication.h"
#include "examwindow.h"
#include "startupchecks.h"

int main(int argc, char *argv[])
{
    if (!startup::prepare(argc, argv))
        return 1;

    ExamApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nihonshib"));
    // The menu entry's ID, so that docks and task switchers match the running
    // window to the installed application (its WM_CLASS is the application name,
    // the desktop file's StartupWMClass).
    QGuiApplication::setDesktopFileName(QStringLiteral("invalid.nihonshib.nihonshib"));
    QApplication::setWindowIcon(applicationIcon());

    ExamWindow window;
    window.show();
    return app.exec();
}
