#include "examapplication.h"

#include "runtimeerror.h"

ExamApplication::ExamApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
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
