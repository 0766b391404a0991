// What assistive technology sees of the tab control: its tabs and their descriptions.
#include "tabtesting.h"

#include <QAccessible>

class TabAccessibleTest : public QObject
{
    Q_OBJECT

private slots:
    void accessibleTabs_data();
    void accessibleTabs();
    void tabDescriptions();
};

void TabAccessibleTest::accessibleTabs_data()
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

void TabAccessibleTest::accessibleTabs()
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
    // The current tab is focused only while its control has the focus.
    control->clearFocus();
    QVERIFY(!tab->state().focused);
    control->setFocus();
    QTRY_VERIFY(control->hasFocus());
    QVERIFY(tab->state().focused);

    // The page's controls stay reachable after the tabs.
    QAccessibleInterface *page = list->child(control->count() + index);
    QVERIFY(page);
    QCOMPARE(page->object(), static_cast<QObject *>(control->page(index)));
    QCOMPARE(page->text(QAccessible::Name), name);
}

// A tab is described as the window says; tabs it says nothing about have no description.
void TabAccessibleTest::tabDescriptions()
{
    auto control = makeControl(Sheet::Answers);
    control->setTabDescription(5, QStringLiteral("①④"));
    control->setTabDescription(99, QStringLiteral("④"));
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(control.get());
    QCOMPARE(list->child(5)->text(QAccessible::Description), QStringLiteral("①④"));
    QCOMPARE(list->child(5)->text(QAccessible::Name), QStringLiteral("1C-問6"));
    QCOMPARE(list->child(4)->text(QAccessible::Description), QString());
    QCOMPARE(control->tabDescription(5), QStringLiteral("①④"));
}

QTEST_MAIN(TabAccessibleTest)
#include "tst_tabaccessible.moc"
