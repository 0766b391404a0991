#pragma once

#include <QApplication>
#include <QTranslator>

// The program's application object. The exam window's handlers are connected
// guarded (runtimeerror.h); any other error that escapes an event handler ends up
// here and is shown as a run-time error too, rather than ending the program without
// a word.
//
// It also makes the toolkit's own texts (the print dialog, the documents' context
// menu, message-box buttons) Japanese like the rest, under every locale.
class ExamApplication : public QApplication
{
    Q_OBJECT

public:
    ExamApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

private:
    // What Qt's Japanese leaves in English: the print dialog's options of duplex
    // printing and the page range by numbers.
    class ToolkitGaps : public QTranslator
    {
    public:
        bool isEmpty() const override { return false; }
        QString translate(const char *context, const char *sourceText, const char *disambiguation,
                          int n) const override;
    };

    QTranslator m_toolkitTranslator;
    ToolkitGaps m_toolkitGaps;
};
