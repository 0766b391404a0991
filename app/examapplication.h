#pragma once

#include <QApplication>

// The program's application object. No handler catches errors, so an error that
// escapes one ends up here: it is shown as a run-time error message and the
// program ends with status 1, rather than dying without a word.
class ExamApplication : public QApplication
{
    Q_OBJECT

public:
    ExamApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // The message the user reads for an error, in Japanese.
    static QString runTimeErrorMessage(const std::exception *error);

private:
    void endWithRunTimeError(const std::exception *error);

    bool m_showingError = false;
};
