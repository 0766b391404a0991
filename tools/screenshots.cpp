// Saves pictures of the program's windows as a student sees them, for the README
// and the package's description: the exam window after a scored run (also with
// the booklet zoomed to 150 %), the 解答・解説 review of that run, the six
// verdict windows and the help window.
//
//   screenshots OUTPUT_FOLDER
//
// Runs offscreen unless QT_QPA_PLATFORM says otherwise; tools/screenshots.sh
// builds it and runs it.

#include "examwindow.h"
#include "helpwindow.h"
#include "reviewwindow.h"
#include "richtextview.h"
#include "tabcontrol.h"
#include "verdictwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPushButton>

#include <cstdio>

namespace {

bool save(QWidget *window, const QDir &folder, const QString &name)
{
    window->show();
    QApplication::processEvents();
    const QString path = folder.filePath(name);
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// Two answers ticked, one of them right, and Score pressed.
bool saveExamWindow(const QDir &folder)
{
    ExamWindow window;
    window.checkBox(1, 4)->click();
    window.checkBox(2, 1)->click();
    window.findChild<QPushButton *>(QStringLiteral("cmd得点"))->click();
    window.findChild<TabControl *>(QStringLiteral("SSTab2"))->setCurrentIndex(0);
    if (!save(&window, folder, QStringLiteral("exam-window.png")))
        return false;
    window.findChild<RichTextView *>(QStringLiteral("RichTextBox1"))->setZoomPercent(150);
    if (!save(&window, folder, QStringLiteral("exam-window-zoomed.png")))
        return false;
    window.onReviewTriggered();
    return save(window.reviewWindow(), folder, QStringLiteral("review-window.png"));
}

bool saveSecondaryWindows(const QDir &folder)
{
    for (int band = 1; band <= 6; ++band) {
        VerdictWindow window(band);
        if (!save(&window, folder, QStringLiteral("verdict-%1.png").arg(band)))
            return false;
    }
    HelpWindow help;
    return save(&help, folder, QStringLiteral("help-window.png"));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    QDir folder(arguments.at(1));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "screenshots: cannot make %s\n", qPrintable(folder.path()));
        return 1;
    }
    return saveExamWindow(folder) && saveSecondaryWindows(folder) ? 0 : 1;
}
