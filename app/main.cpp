#include "appicon.h"
#include "examwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nihonshib"));
    QApplication::setWindowIcon(applicationIcon());

    ExamWindow window;
    window.show();
    return app.exec();
}
