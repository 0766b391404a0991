#include "appicon.h"
#include "examapplication.h"
#include "examwindow.h"

int main(int argc, char *argv[])
{
    ExamApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nihonshib"));
    QApplication::setWindowIcon(applicationIcon());

    ExamWindow window;
    window.show();
    return app.exec();
}
