#pragma once

// Reading the review window as a student sees it: its viewer's document and tables.
#include "examtesting.h"
#include "examwindow.h"
#include "reviewwindow.h"
#include "tabcontrol.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>
#include <QTextTable>
#include <QtTest>

inline void clickButton(ExamWindow *window, const char *button)
{
    QTest::mouseClick(window->findChild<QPushButton *>(name(button)), Qt::LeftButton);
}

// Shows the question's answer page and clicks the box, as a student does.
inline void clickBox(ExamWindow *window, int question, int box)
{
    auto *sheet = window->findChild<TabControl *>(name("SSTab2"));
    QTest::mouseClick(sheet, Qt::LeftButton, {}, sheet->tabRect(question - 1).center());
    QCheckBox *check = window->checkBox(question, box);
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
}

inline ReviewWindow *openReview(ExamWindow *window)
{
    window->findChild<QAction *>(name("mnuReview"))->trigger();
    return window->reviewWindow();
}

inline QTextEdit *reviewViewer(ReviewWindow *review)
{
    return review->findChild<QTextEdit *>(name("RichTextBox1"));
}

inline QString cellText(QTextTable *table, int row, int column)
{
    QTextTableCell cell = table->cellAt(row, column);
    QTextCursor cursor = cell.firstCursorPosition();
    cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return cursor.selectedText();
}

inline QList<QTextTable *> reviewTables(ReviewWindow *review)
{
    QList<QTextTable *> tables;
    for (QTextFrame *frame : reviewViewer(review)->document()->rootFrame()->childFrames()) {
        if (auto *table = qobject_cast<QTextTable *>(frame))
            tables << table;
    }
    return tables;
}

// The row of the review's tables whose first cell reads first, as its cells' text.
inline QStringList reviewRow(ReviewWindow *review, const QString &first)
{
    for (QTextTable *t : reviewTables(review)) {
        for (int r = 0; r < t->rows(); ++r) {
            if (cellText(t, r, 0) != first)
                continue;
            QStringList cells;
            for (int c = 0; c < t->columns(); ++c)
                cells << cellText(t, r, c);
            return cells;
        }
    }
    return {};
}

// A question's line in the review, split into its tab-separated columns (caption,
// ticks, key, result); block is passed out for its format and the explanation after it.
inline QStringList questionLine(ReviewWindow *review, const QString &caption, QTextBlock *block = nullptr)
{
    QTextDocument *document = reviewViewer(review)->document();
    for (QTextBlock b = document->begin(); b.isValid(); b = b.next()) {
        if (!b.text().startsWith(caption + QLatin1Char('\t')))
            continue;
        if (block)
            *block = b;
        return b.text().split(QLatin1Char('\t'));
    }
    return {};
}
