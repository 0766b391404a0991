// The floor for bench-startup: a Qt program that shows an empty main window of the
// exam window's size with the same menu bar, built against Qt Widgets alone, from
// process start to its first frame on screen.
#include "benchsupport.h"
#include "firstframe.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

int main(int argc, char *argv[])
{
    const qint64 startNs = bench::processStartNs();
    QApplication app(argc, argv);
    const qint64 appNs = bench::monotonicNs();

    QMainWindow window;
    // The exam window's menus, in the face its font maps to.
    QFont font(QStringLiteral("IPAGothic"));
    font.setPointSizeF(9);
    window.setFont(font);
    QMenu *game = window.menuBar()->addMenu(QStringLiteral("ゲーム(&G)"));
    game->addAction(QStringLiteral("解答・解説(&K)"));
    game->addAction(QStringLiteral("終了(&Q)"));
    window.menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"))->addAction(QStringLiteral("バージョン情報(&A)"));
    const QStringList arguments = QApplication::arguments();
    window.resize(bench::intArgument(arguments, QStringLiteral("--width"), 792),
                  bench::intArgument(arguments, QStringLiteral("--height"), 554 + window.menuBar()->sizeHint().height()));
    const qint64 windowNs = bench::monotonicNs();

    bench::FirstFrame frame(&window, [&](qint64 paintNs) {
        bench::reportStartupAndExit("empty", startNs, appNs, windowNs, paintNs, &window);
    });
    window.show();
    return QApplication::exec();
}
