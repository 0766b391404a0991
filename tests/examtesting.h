#pragma once

#include "examwindow.h"
#include "publishedkey.h"
#include "tabcontrol.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QTest>

// Controls are found by the names the window layouts give them, most of them Japanese.
inline QString name(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

inline QRect px(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

// Ticks a box as the student does: choose the answer page, then click the box.
inline void tickBox(ExamWindow *window, int question, int box)
{
    auto *sheet = window->findChild<TabControl *>(name("SSTab2"));
    QTest::mouseClick(sheet, Qt::LeftButton, {}, sheet->tabRect(question - 1).center());
    QCOMPARE(sheet->currentIndex(), question - 1);
    QCheckBox *check = window->checkBox(question, box);
    QVERIFY(check->isVisible());
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
}

// Leaves exactly the correct boxes of questions worth the given points ticked, as a
// student would by clicking, and presses Score; the total is then that score.
inline void markScore(ExamWindow *window, int score)
{
    QList<int> threes, twos;
    for (int q = 1; q <= 36; ++q)
        (keyTable[q - 1].points == 3 ? threes : twos) << q;
    qsizetype twosWanted = 0;
    while (twosWanted <= twos.size() && ((score - 2 * twosWanted) % 3 != 0 || score - 2 * twosWanted < 0
                                         || (score - 2 * twosWanted) / 3 > threes.size()))
        ++twosWanted;
    QVERIFY2(twosWanted <= twos.size(), "no marking gives that score");
    const QList<int> right = threes.mid(0, (score - 2 * twosWanted) / 3) + twos.mid(0, twosWanted);
    for (int q = 1; q <= 36; ++q) {
        for (int box = 1; box <= keyTable[q - 1].choices; ++box) {
            const bool wanted = box == keyTable[q - 1].correct && right.contains(q);
            if (window->checkBox(q, box)->isChecked() != wanted)
                tickBox(window, q, box);
        }
    }
    QTest::mouseClick(window->findChild<QPushButton *>(name("cmd得点")), Qt::LeftButton);
}
