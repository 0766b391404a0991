// The exam window by keyboard: the tab order, Enter on a button, focus marks that
// show, and a window that cannot be made smaller than its layout.
#include "examfixture.h"
#include "examtesting.h"
#include "examwindow.h"
#include "tabcontrol.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class ExamKeyboardTest : public ExamWindowFixture
{
    Q_OBJECT

private slots:
    void init();

    void tabOrder_data();
    void tabOrder();
    void enterPressesTheFocusedButton_data();
    void enterPressesTheFocusedButton();
    void focusMarkShows_data();
    void focusMarkShows();
    void cannotBeMadeSmaller();

private:
    QWidget *control(const char *objectName) const { return m_window->findChild<QWidget *>(name(objectName)); }

};



void ExamKeyboardTest::init()
{
    QVERIFY(openWindow(true));
}

void ExamKeyboardTest::tabOrder_data()
{
    QTest::addColumn<int>("question");
    QTest::newRow("four choices, 1A-問1") << 1;
    QTest::newRow("six choices, 1B-問3") << 3;
}

// スタート, the booklet's tabs, the booklet, the answer sheet's tabs, the boxes of the
// current page, 得　点, 合格率 and round to スタート; Shift+Tab the other way.
void ExamKeyboardTest::tabOrder()
{
    QFETCH(int, question);
    auto *sheet = m_window->findChild<TabControl *>(name("SSTab2"));
    QTest::mouseClick(sheet, Qt::LeftButton, {}, sheet->tabRect(question - 1).center());
    control("cmdスタート")->setFocus(Qt::MouseFocusReason);

    QStringList expected{name("SSTab1"), name("RichTextBox1"), name("SSTab2")};
    for (int box = 1; box <= keyTable[question - 1].choices; ++box)
        expected << QStringLiteral("chk日本史B%1(%2)").arg(question).arg(box);
    expected << name("cmd得点") << name("cmd合格率") << name("cmdスタート");

    QStringList forward;
    for (int press = 0; press < expected.size(); ++press) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        forward << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(forward, expected);

    QStringList backward;
    for (int press = 0; press < expected.size(); ++press) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        backward << QApplication::focusWidget()->objectName();
    }
    expected.prepend(name("cmdスタート"));
    expected.removeLast();
    std::reverse(expected.begin(), expected.end());
    QCOMPARE(backward, expected);
}

void ExamKeyboardTest::enterPressesTheFocusedButton_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<Qt::Key>("key");
    for (const char *button : {"cmdスタート", "cmd得点", "cmd合格率"}) {
        QTest::addRow("%s, Return", button) << name(button) << Qt::Key_Return;
        QTest::addRow("%s, Enter", button) << name(button) << Qt::Key_Enter;
        QTest::addRow("%s, Space", button) << name(button) << Qt::Key_Space;
    }
}

void ExamKeyboardTest::enterPressesTheFocusedButton()
{
    QFETCH(QString, button);
    QFETCH(Qt::Key, key);
    auto *target = m_window->findChild<QPushButton *>(button);
    target->setFocus(Qt::TabFocusReason);
    QSignalSpy clicked(target, &QPushButton::clicked);
    QTest::keyClick(target, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QCOMPARE(clicked.count(), 1);
}

void ExamKeyboardTest::focusMarkShows_data()
{
    QTest::addColumn<QString>("control");
    for (const char *control : {"cmdスタート", "cmd得点", "cmd合格率", "SSTab1", "SSTab2", "chk日本史B1(1)",
                                "chk日本史B1(4)"})
        QTest::newRow(control) << name(control);
}

// WCAG's relative luminance and contrast ratio.
static double luminance(QColor colour)
{
    auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

static double contrast(QColor a, QColor b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Focus given by the mouse shows as plainly as focus moved by the keyboard: the
// pixels that change stand out at least 3:1 from what was there before.
void ExamKeyboardTest::focusMarkShows()
{
    QFETCH(QString, control);
    QWidget *widget = m_window->findChild<QWidget *>(control);
    QWidget *elsewhere = control == name("cmd合格率") ? this->control("cmdスタート") : this->control("cmd合格率");
    elsewhere->setFocus(Qt::MouseFocusReason);
    const QImage before = widget->grab().toImage();
    widget->setFocus(Qt::MouseFocusReason);
    QVERIFY(widget->hasFocus());
    const QImage after = widget->grab().toImage();

    int marked = 0;
    for (int y = 0; y < after.height(); ++y) {
        for (int x = 0; x < after.width(); ++x) {
            if (contrast(before.pixelColor(x, y), after.pixelColor(x, y)) >= 3.0)
                ++marked;
        }
    }
    // A rectangle around a caption has far more pixels than this.
    QVERIFY2(marked >= 40, qPrintable(QString::number(marked)));
}

void ExamKeyboardTest::cannotBeMadeSmaller()
{
    m_window->resize(400, 300);
    QCoreApplication::processEvents();
    QCOMPARE(m_window->centralWidget()->size(), QSize(792, 554));
}

QTEST_MAIN(ExamKeyboardTest)
#include "tst_examkeyboard.moc"
