#include "tabcontrol.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// One row of tabs is 520 HIMETRIC high: 520/2540 inch at 96 dpi.
constexpr qreal rowHeight = 520.0 / 2540.0 * 96.0;

// The answer sheet: 36 pages, 12 tabs per row, 9615 x 2175 twips.
const QStringList answerCaptions = {
    QStringLiteral("1A-問1"), QStringLiteral("1A-問2"), QStringLiteral("1B-問3"), QStringLiteral("1B-問4"),
    QStringLiteral("1C-問5"), QStringLiteral("1C-問6"), QStringLiteral("2A-問1"), QStringLiteral("2A-問2"),
    QStringLiteral("2A-問3"), QStringLiteral("2A-問4"), QStringLiteral("2B-問5"), QStringLiteral("2B-問6"),
    QStringLiteral("3A-問1"), QStringLiteral("3A-問2"), QStringLiteral("3A-問3"), QStringLiteral("3B-問4"),
    QStringLiteral("3B-問5"), QStringLiteral("3B-問6"), QStringLiteral("4A-問1"), QStringLiteral("4A-問2"),
    QStringLiteral("4A-問3"), QStringLiteral("4B-問4"), QStringLiteral("4B-問5"), QStringLiteral("4B-問6"),
    QStringLiteral("5A-問1"), QStringLiteral("5A-問2"), QStringLiteral("5A-問3"), QStringLiteral("5A-問4"),
    QStringLiteral("5B-問5"), QStringLiteral("5B-問6"), QStringLiteral("5C-問7"), QStringLiteral("5C-問8"),
    QStringLiteral("6A-問1"), QStringLiteral("6A-問2"), QStringLiteral("6B-問3"), QStringLiteral("6B-問4"),
};
// The question booklet: 2 pages in one row, 9735 x 6015 twips.
const QStringList bookletCaptions = {QStringLiteral("問題"), QStringLiteral("図１")};

enum class Sheet { Answers, Booklet };

// A tab control as the exam window builds it, with one check box per page at
// (boxX, boxY) in the control's coordinates (the answer frame's top is 1080 twips).
constexpr int boxX = 104;
constexpr int boxY = 72;

std::unique_ptr<TabControl> makeControl(Sheet sheet)
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

QCheckBox *boxOn(const TabControl &control, int index)
{
    return control.page(index)->findChild<QCheckBox *>();
}

// Clicks through the window system, so the event goes to whichever widget is at pos,
// as a user's click would.
void clickAt(TabControl &control, const QPoint &pos)
{
    QTest::mouseClick(control.windowHandle(), Qt::LeftButton, Qt::NoModifier, pos);
}

} // namespace

Q_DECLARE_METATYPE(Sheet)

class TabControlTest : public QObject
{
    Q_OBJECT

private slots:
    void tabRects_data();
    void tabRects();
    void rowsFillTheWidth_data();
    void rowsFillTheWidth();
    void clickOnTab_data();
    void clickOnTab();
    void hiddenPageKeepsState();
    void boxOnPage_data();
    void boxOnPage();
    void pageShortcuts_data();
    void pageShortcuts();
    void arrowKeys_data();
    void arrowKeys();
    void accessibleTabs_data();
    void accessibleTabs();
};

void TabControlTest::tabRects_data()
{
    QTest::addColumn<Sheet>("sheet");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("index");
    QTest::addColumn<QRect>("expected");

    // Column edges at round(c * 641/12), row edges at round(r * 19.65).
    const struct
    {
        int index;
        QRect rect;
    } answerTabs[] = {
        {0, QRect(0, 0, 53, 20)},    {1, QRect(53, 0, 54, 20)},   {6, QRect(321, 0, 53, 20)},
        {11, QRect(588, 0, 53, 20)}, {12, QRect(0, 20, 53, 19)},  {19, QRect(374, 20, 53, 19)},
        {23, QRect(588, 20, 53, 19)}, {24, QRect(0, 39, 53, 20)}, {30, QRect(321, 39, 53, 20)},
        {35, QRect(588, 39, 53, 20)},
    };
    // Choosing a tab in the first or the third row must not move any row.
    for (int chosen : {0, 30}) {
        for (const auto &tab : answerTabs) {
            QTest::addRow("answers, tab %d, tab %d chosen", tab.index, chosen)
                << Sheet::Answers << chosen << tab.index << tab.rect;
        }
    }
    QTest::newRow("booklet, 問題") << Sheet::Booklet << 0 << 0 << QRect(0, 0, 325, 20);
    QTest::newRow("booklet, 図１") << Sheet::Booklet << 0 << 1 << QRect(325, 0, 324, 20);
    QTest::newRow("booklet, 図１ chosen, 問題") << Sheet::Booklet << 1 << 0 << QRect(0, 0, 325, 20);
    QTest::newRow("booklet, 図１ chosen, 図１") << Sheet::Booklet << 1 << 1 << QRect(325, 0, 324, 20);
}

void TabControlTest::tabRects()
{
    QFETCH(Sheet, sheet);
    QFETCH(int, chosen);
    QFETCH(int, index);
    QFETCH(QRect, expected);

    auto control = makeControl(sheet);
    control->setCurrentIndex(chosen);
    QCOMPARE(control->currentIndex(), chosen);
    QCOMPARE(control->tabRect(index), expected);
    QCOMPARE(control->tabAt(expected.center()), index);
}

void TabControlTest::rowsFillTheWidth_data()
{
    QTest::addColumn<Sheet>("sheet");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("stripHeight");

    QTest::newRow("answers") << Sheet::Answers << 3 << 641 << 59;
    QTest::newRow("booklet") << Sheet::Booklet << 1 << 649 << 20;
}

void TabControlTest::rowsFillTheWidth()
{
    QFETCH(Sheet, sheet);
    QFETCH(int, rows);
    QFETCH(int, width);
    QFETCH(int, stripHeight);

    auto control = makeControl(sheet);
    QCOMPARE(control->rowCount(), rows);
    const int perRow = control->count() / rows;
    const qreal tabWidth = qreal(width) / perRow;
    for (int row = 0; row < rows; ++row) {
        int left = 0;
        for (int column = 0; column < perRow; ++column) {
            const QRect tab = control->tabRect(row * perRow + column);
            QCOMPARE(tab.left(), left);
            QVERIFY2(qAbs(tab.width() - tabWidth) < 1.0, qPrintable(QString::number(tab.width())));
            QCOMPARE(tab.top(), qRound(row * rowHeight));
            left = tab.right() + 1;
        }
        QCOMPARE(left, width);
    }
    QCOMPARE(control->tabRect(control->count() - 1).bottom() + 1, stripHeight);
    // The control keeps the size the window gives it.
    QCOMPARE(control->width(), width);
}

void TabControlTest::clickOnTab_data()
{
    QTest::addColumn<Sheet>("sheet");
    QTest::addColumn<int>("start");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<int>("expected");

    QTest::newRow("row 1, first tab") << Sheet::Answers << 5 << QPoint(26, 10) << 0;
    QTest::newRow("row 1, last pixel of tab 1") << Sheet::Answers << 5 << QPoint(52, 10) << 0;
    QTest::newRow("row 1, first pixel of tab 2") << Sheet::Answers << 5 << QPoint(53, 10) << 1;
    QTest::newRow("row 1, bottom pixel") << Sheet::Answers << 5 << QPoint(10, 19) << 0;
    QTest::newRow("row 2, top pixel") << Sheet::Answers << 5 << QPoint(10, 20) << 12;
    QTest::newRow("row 2, 2B-問6") << Sheet::Answers << 0 << QPoint(614, 29) << 23;
    QTest::newRow("row 2, 4A-問3") << Sheet::Answers << 0 << QPoint(453, 29) << 20;
    QTest::newRow("row 3, 6B-問4 bottom right") << Sheet::Answers << 0 << QPoint(640, 58) << 35;
    QTest::newRow("row 3, 5C-問7") << Sheet::Answers << 0 << QPoint(347, 49) << 30;
    QTest::newRow("current tab") << Sheet::Answers << 30 << QPoint(347, 49) << 30;
    QTest::newRow("page area") << Sheet::Answers << 7 << QPoint(300, 100) << 7;
    QTest::newRow("booklet, 図１") << Sheet::Booklet << 0 << QPoint(486, 10) << 1;
    QTest::newRow("booklet, 問題") << Sheet::Booklet << 1 << QPoint(162, 10) << 0;
    QTest::newRow("booklet, page area") << Sheet::Booklet << 1 << QPoint(162, 200) << 1;
}

void TabControlTest::clickOnTab()
{
    QFETCH(Sheet, sheet);
    QFETCH(int, start);
    QFETCH(QPoint, point);
    QFETCH(int, expected);

    auto control = makeControl(sheet);
    control->setCurrentIndex(start);
    control->show();
    QVERIFY(QTest::qWaitForWindowExposed(control.get()));

    QSignalSpy changed(control.get(), &TabControl::currentChanged);
    clickAt(*control, point);

    QCOMPARE(control->currentIndex(), expected);
    if (expected == start) {
        QCOMPARE(changed.count(), 0);
    } else {
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toInt(), expected);
    }
    for (int index = 0; index < control->count(); ++index)
        QCOMPARE(control->page(index)->isVisible(), index == expected);
    // The pages cover the control but leave the tabs uncovered; a click on a tab gives
    // the control focus.
    if (control->tabAt(point) >= 0) {
        QCOMPARE(control->childAt(point), nullptr);
        QVERIFY(control->hasFocus());
    }
}

void TabControlTest::hiddenPageKeepsState()
{
    auto control = makeControl(Sheet::Answers);
    control->setCurrentIndex(5);
    control->show();
    QVERIFY(QTest::qWaitForWindowExposed(control.get()));

    QCheckBox *box = boxOn(*control, 5);
    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(box->isChecked());

    clickAt(*control, QPoint(453, 29)); // 4A-問3
    QCOMPARE(control->currentIndex(), 20);
    QVERIFY(!box->isVisible());
    QVERIFY(box->isChecked());
    QVERIFY(control->childAt(QPoint(boxX + 5, boxY + 5)) != box);

    clickAt(*control, QPoint(320, 10)); // 1C-問6
    QCOMPARE(control->currentIndex(), 5);
    QVERIFY(box->isVisible());
    QVERIFY(box->isChecked());
}

void TabControlTest::boxOnPage_data()
{
    QTest::addColumn<Sheet>("sheet");
    QTest::addColumn<int>("index");

    QTest::newRow("answers, 1A-問1") << Sheet::Answers << 0;
    QTest::newRow("answers, 1C-問6") << Sheet::Answers << 5;
    QTest::newRow("answers, 4A-問3") << Sheet::Answers << 20;
    QTest::newRow("answers, 6B-問4") << Sheet::Answers << 35;
    QTest::newRow("booklet, 図１") << Sheet::Booklet << 1;
}

void TabControlTest::boxOnPage()
{
    QFETCH(Sheet, sheet);
    QFETCH(int, index);

    auto control = makeControl(sheet);
    control->setCurrentIndex(index);
    control->show();
    QVERIFY(QTest::qWaitForWindowExposed(control.get()));

    QCheckBox *box = boxOn(*control, index);
    QCOMPARE(box->mapTo(control.get(), QPoint(0, 0)), QPoint(boxX, boxY));
    QVERIFY(box->isVisible());
    QCOMPARE(control->childAt(QPoint(boxX + 5, boxY + 5)), box);

    clickAt(*control, QPoint(boxX + 5, boxY + 8));
    QVERIFY(box->isChecked());
    clickAt(*control, QPoint(boxX + 5, boxY + 8));
    QVERIFY(!box->isChecked());
}

void TabControlTest::pageShortcuts_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("expected");

    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    QTest::newRow("Ctrl+Tab") << 0 << int(Qt::Key_Tab) << ctrl << 1;
    QTest::newRow("Ctrl+Tab, end of a row") << 11 << int(Qt::Key_Tab) << ctrl << 12;
    QTest::newRow("Ctrl+Tab wraps") << 35 << int(Qt::Key_Tab) << ctrl << 0;
    QTest::newRow("Ctrl+Shift+Tab") << 20 << int(Qt::Key_Tab) << ctrlShift << 19;
    QTest::newRow("Ctrl+Shift+Tab wraps") << 0 << int(Qt::Key_Tab) << ctrlShift << 35;
    QTest::newRow("Ctrl+Shift+Backtab") << 12 << int(Qt::Key_Backtab) << ctrlShift << 11;
    QTest::newRow("Ctrl+Shift+Backtab wraps") << 0 << int(Qt::Key_Backtab) << ctrlShift << 35;
    QTest::newRow("Ctrl+PageDown") << 5 << int(Qt::Key_PageDown) << ctrl << 6;
    QTest::newRow("Ctrl+PageDown wraps") << 35 << int(Qt::Key_PageDown) << ctrl << 0;
    QTest::newRow("Ctrl+PageUp") << 24 << int(Qt::Key_PageUp) << ctrl << 23;
    QTest::newRow("Ctrl+PageUp wraps") << 0 << int(Qt::Key_PageUp) << ctrl << 35;
}

void TabControlTest::pageShortcuts()
{
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, expected);

    auto control = makeControl(Sheet::Answers);
    control->setCurrentIndex(start);
    control->show();
    control->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(control.get()));

    // From a check box on the page.
    QCheckBox *box = boxOn(*control, start);
    box->setFocus();
    QCOMPARE(QApplication::focusWidget(), box);
    QSignalSpy changed(control.get(), &TabControl::currentChanged);
    QTest::keyClick(box, Qt::Key(key), modifiers);
    QCOMPARE(control->currentIndex(), expected);
    QCOMPARE(changed.count(), 1);
    QVERIFY(!box->isChecked());
    // The focus follows to the same place on the new page, so a second press goes on.
    QCOMPARE(QApplication::focusWidget(), boxOn(*control, expected));

    // From the tab strip.
    control->setCurrentIndex(start);
    control->setFocus();
    QTest::keyClick(control.get(), Qt::Key(key), modifiers);
    QCOMPARE(control->currentIndex(), expected);
    QVERIFY(control->hasFocus());
}

void TabControlTest::arrowKeys_data()
{
    QTest::addColumn<Sheet>("sheet");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");

    QTest::newRow("Right") << Sheet::Answers << 0 << int(Qt::Key_Right) << 1;
    QTest::newRow("Right into the next row") << Sheet::Answers << 11 << int(Qt::Key_Right) << 12;
    QTest::newRow("Right at the last tab") << Sheet::Answers << 35 << int(Qt::Key_Right) << 35;
    QTest::newRow("Left") << Sheet::Answers << 20 << int(Qt::Key_Left) << 19;
    QTest::newRow("Left into the row above") << Sheet::Answers << 12 << int(Qt::Key_Left) << 11;
    QTest::newRow("Left at the first tab") << Sheet::Answers << 0 << int(Qt::Key_Left) << 0;
    QTest::newRow("Up") << Sheet::Answers << 20 << int(Qt::Key_Up) << 8;
    QTest::newRow("Up in the top row") << Sheet::Answers << 5 << int(Qt::Key_Up) << 5;
    QTest::newRow("Down") << Sheet::Answers << 20 << int(Qt::Key_Down) << 32;
    QTest::newRow("Down in the bottom row") << Sheet::Answers << 30 << int(Qt::Key_Down) << 30;
    QTest::newRow("Home") << Sheet::Answers << 20 << int(Qt::Key_Home) << 0;
    QTest::newRow("End") << Sheet::Answers << 3 << int(Qt::Key_End) << 35;
    QTest::newRow("booklet, Right") << Sheet::Booklet << 0 << int(Qt::Key_Right) << 1;
    QTest::newRow("booklet, Left") << Sheet::Booklet << 1 << int(Qt::Key_Left) << 0;
}

void TabControlTest::arrowKeys()
{
    QFETCH(Sheet, sheet);
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, expected);

    auto control = makeControl(sheet);
    control->setCurrentIndex(start);
    control->show();
    control->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(control.get()));
    control->setFocus();

    QSignalSpy changed(control.get(), &TabControl::currentChanged);
    QTest::keyClick(control.get(), Qt::Key(key));
    QCOMPARE(control->currentIndex(), expected);
    QCOMPARE(changed.count(), expected == start ? 0 : 1);
    QVERIFY(control->hasFocus());
    for (int index = 0; index < control->count(); ++index)
        QCOMPARE(control->page(index)->isVisible(), index == expected);
}

void TabControlTest::accessibleTabs_data()
{
    QTest::addColumn<Sheet>("sheet");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");

    QTest::newRow("1A-問1") << Sheet::Answers << 0 << QStringLiteral("1A-問1") << QRect(0, 0, 53, 20);
    QTest::newRow("1C-問6") << Sheet::Answers << 5 << QStringLiteral("1C-問6") << QRect(267, 0, 54, 20);
    QTest::newRow("4A-問3") << Sheet::Answers << 20 << QStringLiteral("4A-問3") << QRect(427, 20, 54, 19);
    QTest::newRow("5C-問7") << Sheet::Answers << 30 << QStringLiteral("5C-問7") << QRect(321, 39, 53, 20);
    QTest::newRow("6B-問4") << Sheet::Answers << 35 << QStringLiteral("6B-問4") << QRect(588, 39, 53, 20);
    QTest::newRow("問題") << Sheet::Booklet << 0 << QStringLiteral("問題") << QRect(0, 0, 325, 20);
    QTest::newRow("図１") << Sheet::Booklet << 1 << QStringLiteral("図１") << QRect(325, 0, 324, 20);
}

void TabControlTest::accessibleTabs()
{
    QFETCH(Sheet, sheet);
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(QRect, rect);

    auto control = makeControl(sheet);
    control->move(30, 40);
    control->show();
    QVERIFY(QTest::qWaitForWindowExposed(control.get()));

    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(control.get());
    QVERIFY(list);
    QCOMPARE(list->role(), QAccessible::PageTabList);
    QVERIFY(list->childCount() >= control->count());

    QAccessibleInterface *tab = list->child(index);
    QVERIFY(tab);
    QCOMPARE(tab->role(), QAccessible::PageTab);
    QCOMPARE(tab->text(QAccessible::Name), name);
    QCOMPARE(tab->rect(), QRect(control->mapToGlobal(rect.topLeft()), rect.size()));
    QCOMPARE(tab->parent(), list);
    QCOMPARE(list->indexOfChild(tab), index);
    QCOMPARE(list->childAt(tab->rect().center().x(), tab->rect().center().y()), tab);
    QCOMPARE(bool(tab->state().selected), index == 0);

    // Pressing the tab through assistive technology chooses it.
    QAccessibleActionInterface *action = tab->actionInterface();
    QVERIFY(action);
    action->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(control->currentIndex(), index);
    QVERIFY(tab->state().selected);

    // The page's controls stay reachable after the tabs.
    QAccessibleInterface *page = list->child(control->count() + index);
    QVERIFY(page);
    QCOMPARE(page->object(), static_cast<QObject *>(control->page(index)));
    QCOMPARE(page->text(QAccessible::Name), name);
}

QTEST_MAIN(TabControlTest)
#include "tst_tabcontrol.moc"
