#include "tabtesting.h"

#include <QApplication>
#include <QSignalSpy>



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
    void keys_data();
    void keys();
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

    // Each row's tabs abut from the left edge to the right, equally wide to a pixel,
    // and each row sits straight under the one before.
    auto control = makeControl(sheet);
    QCOMPARE(control->rowCount(), rows);
    const int perRow = control->count() / rows;
    int top = 0;
    for (int row = 0; row < rows; ++row) {
        const QRect first = control->tabRect(row * perRow);
        QCOMPARE(first.top(), top);
        int left = 0;
        for (int column = 0; column < perRow; ++column) {
            const QRect tab = control->tabRect(row * perRow + column);
            QCOMPARE(tab.left(), left);
            QCOMPARE(tab.top(), first.top());
            QCOMPARE(tab.height(), first.height());
            QVERIFY2(qAbs(tab.width() - first.width()) <= 1, qPrintable(QString::number(tab.width())));
            left = tab.right() + 1;
        }
        QCOMPARE(left, width);
        top = first.bottom() + 1;
    }
    QCOMPARE(top, stripHeight);
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

    const auto control = shownControl(sheet, start);
    QVERIFY(control);

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
    const auto control = shownControl(Sheet::Answers, 5);
    QVERIFY(control);

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

    const auto control = shownControl(sheet, index);
    QVERIFY(control);

    QCheckBox *box = boxOn(*control, index);
    QCOMPARE(box->mapTo(control.get(), QPoint(0, 0)), QPoint(boxX, boxY));
    QVERIFY(box->isVisible());
    QCOMPARE(control->childAt(QPoint(boxX + 5, boxY + 5)), box);

    clickAt(*control, QPoint(boxX + 5, boxY + 8));
    QVERIFY(box->isChecked());
    clickAt(*control, QPoint(boxX + 5, boxY + 8));
    QVERIFY(!box->isChecked());
}

void TabControlTest::keys_data()
{
    QTest::addColumn<Sheet>("sheet");
    QTest::addColumn<int>("start");
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("fromPage");   // the key also works from a control on the page

    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    const Sheet answers = Sheet::Answers;
    QTest::newRow("Ctrl+Tab") << answers << 0 << Qt::Key_Tab << ctrl << 1 << true;
    QTest::newRow("Ctrl+Tab, end of a row") << answers << 11 << Qt::Key_Tab << ctrl << 12 << true;
    QTest::newRow("Ctrl+Tab wraps") << answers << 35 << Qt::Key_Tab << ctrl << 0 << true;
    QTest::newRow("Ctrl+Shift+Tab") << answers << 20 << Qt::Key_Tab << ctrlShift << 19 << true;
    QTest::newRow("Ctrl+Shift+Tab wraps") << answers << 0 << Qt::Key_Tab << ctrlShift << 35 << true;
    QTest::newRow("Ctrl+Shift+Backtab") << answers << 12 << Qt::Key_Backtab << ctrlShift << 11 << true;
    QTest::newRow("Ctrl+Shift+Backtab wraps") << answers << 0 << Qt::Key_Backtab << ctrlShift << 35 << true;
    QTest::newRow("Ctrl+PageDown") << answers << 5 << Qt::Key_PageDown << ctrl << 6 << true;
    QTest::newRow("Ctrl+PageDown wraps") << answers << 35 << Qt::Key_PageDown << ctrl << 0 << true;
    QTest::newRow("Ctrl+PageUp") << answers << 24 << Qt::Key_PageUp << ctrl << 23 << true;
    QTest::newRow("Ctrl+PageUp wraps") << answers << 0 << Qt::Key_PageUp << ctrl << 35 << true;
    QTest::newRow("Right") << answers << 0 << Qt::Key_Right << none << 1 << false;
    QTest::newRow("Right into the next row") << answers << 11 << Qt::Key_Right << none << 12 << false;
    QTest::newRow("Right at the last tab") << answers << 35 << Qt::Key_Right << none << 35 << false;
    QTest::newRow("Left") << answers << 20 << Qt::Key_Left << none << 19 << false;
    QTest::newRow("Left into the row above") << answers << 12 << Qt::Key_Left << none << 11 << false;
    QTest::newRow("Left at the first tab") << answers << 0 << Qt::Key_Left << none << 0 << false;
    QTest::newRow("Up") << answers << 20 << Qt::Key_Up << none << 8 << false;
    QTest::newRow("Up in the top row") << answers << 5 << Qt::Key_Up << none << 5 << false;
    QTest::newRow("Down") << answers << 20 << Qt::Key_Down << none << 32 << false;
    QTest::newRow("Down in the bottom row") << answers << 30 << Qt::Key_Down << none << 30 << false;
    QTest::newRow("Home") << answers << 20 << Qt::Key_Home << none << 0 << false;
    QTest::newRow("End") << answers << 3 << Qt::Key_End << none << 35 << false;
    QTest::newRow("booklet, Right") << Sheet::Booklet << 0 << Qt::Key_Right << none << 1 << false;
    QTest::newRow("booklet, Left") << Sheet::Booklet << 1 << Qt::Key_Left << none << 0 << false;
}

void TabControlTest::keys()
{
    QFETCH(Sheet, sheet);
    QFETCH(int, start);
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, expected);
    QFETCH(bool, fromPage);

    const auto control = shownControl(sheet, start);
    QVERIFY(control);
    QSignalSpy changed(control.get(), &TabControl::currentChanged);

    // From the tab strip.
    control->setFocus();
    QTest::keyClick(control.get(), key, modifiers);
    QCOMPARE(control->currentIndex(), expected);
    QCOMPARE(changed.count(), expected == start ? 0 : 1);
    QVERIFY(control->hasFocus());
    for (int index = 0; index < control->count(); ++index)
        QCOMPARE(control->page(index)->isVisible(), index == expected);
    if (!fromPage)
        return;

    // From a check box on the page.
    control->setCurrentIndex(start);
    changed.clear();
    QCheckBox *box = boxOn(*control, start);
    box->setFocus();
    QCOMPARE(QApplication::focusWidget(), box);
    QTest::keyClick(box, key, modifiers);
    QCOMPARE(control->currentIndex(), expected);
    QCOMPARE(changed.count(), 1);
    QVERIFY(!box->isChecked());
    // The focus follows to the same place on the new page, so a second press goes on.
    QCOMPARE(QApplication::focusWidget(), boxOn(*control, expected));
}

QTEST_MAIN(TabControlTest)
#include "tst_tabcontrol.moc"
