#include "appicon.h"
#include "examwindow.h"
#include "startupchecks.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    if (!startup::prepare(argc, argv))
        return 1;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nihonshib"));
    QApplication::setWindowIcon(applicationIcon());

    ExamWindow window;
    window.show();
    return app.exec();
}
