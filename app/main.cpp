#include "appicon.h"
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
    QApplication::setWindowIcon(applicationIcon());

    ExamWindow window;
    window.show();
    return app.exec();
}
