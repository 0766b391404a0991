#pragma once

// Reading the review window as a student sees it: its viewer's document and tables.
#include "examtesting.h"
#include "examwindow.h"
#include "reviewwindow.h"
#include "tabcontrol.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
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

// The line of the review that starts with first and a tab, up to its end or the first
// line break within its paragraph (a question's quotes follow there), split into its tab-separated
// columns (a question's caption, ticks, key and result; a section row's subtotals);
// block is passed out for its formats and the explanation after it.
inline QStringList reviewLine(ReviewWindow *review, const QString &first, QTextBlock *block = nullptr)
{
    QTextDocument *document = reviewViewer(review)->document();
    for (QTextBlock b = document->begin(); b.isValid(); b = b.next()) {
        if (!b.text().startsWith(first + QLatin1Char('\t')))
            continue;
        if (block)
            *block = b;
        QStringList columns = b.text().section(QChar::LineSeparator, 0, 0).split(QLatin1Char('\t'));
        // A tinted line ends in a tab that only carries the tint across.
        if (columns.last().isEmpty())
            columns.removeLast();
        return columns;
    }
    return {};
}

// The lines of a question's entry in the review, from its line (the caption, a tab and
// the columns) to its explanation: each paragraph split at its line breaks.
inline QStringList entryLines(ReviewWindow *review, const QString &caption)
{
    QTextBlock line;
    if (reviewLine(review, caption, &line).isEmpty())
        return {};
    static const QRegularExpression nextEntry(QStringLiteral("^\\d[A-C]-問\\d+\t"));
    QStringList lines;
    for (QTextBlock block = line; block.isValid(); block = block.next()) {
        if (block != line && nextEntry.match(block.text()).hasMatch())
            break;
        lines += block.text().split(QChar::LineSeparator);
    }
    return lines;
}
