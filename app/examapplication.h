#pragma once

#include <QApplication>

// The program's application object. The exam window's handlers are connected
// guarded (runtimeerror.h); any other error that escapes an event handler ends up
// here and is shown as a run-time error too, rather than ending the program without
// a word.
class ExamApplication : public QApplication
{
    Q_OBJECT

public:
    ExamApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
