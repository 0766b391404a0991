#pragma once

// Tab controls as the exam window builds them, for the tab control's tests.
#include "tabcontrol.h"

#include <QCheckBox>
#include <QTest>

#include <memory>

// One row of tabs is 520 HIMETRIC high: 520/2540 inch at 96 dpi.
constexpr qreal rowHeight = 520.0 / 2540.0 * 96.0;

// The answer sheet: 36 pages, 12 tabs per row, 9615 x 2175 twips.
inline const QStringList answerCaptions = QStringLiteral(
    "1A-問1 1A-問2 1B-問3 1B-問4 1C-問5 1C-問6 2A-問1 2A-問2 2A-問3 2A-問4 2B-問5 2B-問6 "
    "3A-問1 3A-問2 3A-問3 3B-問4 3B-問5 3B-問6 4A-問1 4A-問2 4A-問3 4B-問4 4B-問5 4B-問6 "
    "5A-問1 5A-問2 5A-問3 5A-問4 5B-問5 5B-問6 5C-問7 5C-問8 6A-問1 6A-問2 6B-問3 6B-問4").split(QLatin1Char(' '));
// The question booklet: 2 pages in one row, 9735 x 6015 twips.
inline const QStringList bookletCaptions = {QStringLiteral("問題"), QStringLiteral("図１")};

enum class Sheet { Answers, Booklet };

// A tab control as the exam window builds it, with one check box per page at
// (boxX, boxY) in the control's coordinates (the answer frame's top is 1080 twips).
constexpr int boxX = 104;
constexpr int boxY = 72;

inline std::unique_ptr<TabControl> makeControl(Sheet sheet)
{
    const bool answers = sheet == Sheet::Answers;
    auto control = std::make_unique<TabControl>(answers ? 12 : 2, rowHeight);
    control->resize(answers ? QSize(641, 145) : QSize(649, 401));
    control->setPageColor(answers ? QColor(255, 255, 0) : control->palette().color(QPalette::Button));
    for (const QString &caption : answers ? answerCaptions : bookletCaptions) {
        QWidget *page = control->page(control->addPage(caption));
        auto *box = new QCheckBox(QStringLiteral("①"), page);
        box->setGeometry(boxX, boxY, 60, 17);
    }
    return control;
}

// The control on screen and active, with page current chosen.
inline std::unique_ptr<TabControl> shownControl(Sheet sheet, int current)
{
    auto control = makeControl(sheet);
    control->setCurrentIndex(current);
    control->show();
    control->activateWindow();
    if (!QTest::qWaitForWindowActive(control.get()))
        return nullptr;
    return control;
}

inline QCheckBox *boxOn(const TabControl &control, int index)
{
    return control.page(index)->findChild<QCheckBox *>();
}

// Clicks through the window system, so the event goes to whichever widget is at pos,
// as a user's click would.
inline void clickAt(TabControl &control, const QPoint &pos)
{
    QTest::mouseClick(control.windowHandle(), Qt::LeftButton, Qt::NoModifier, pos);
}


Q_DECLARE_METATYPE(Sheet)
