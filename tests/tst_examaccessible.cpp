// What assistive technology reads from the exam window. (That each change is also
// announced needs an active accessibility bridge: the AT-SPI test in e2e checks it.)
#include "examtesting.h"
#include "examwindow.h"
#include "fakeclock.h"
#include "tabcontrol.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

QString text(QObject *object, QAccessible::Text kind = QAccessible::Name, int child = -1)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(object);
    if (face && child >= 0)
        face = face->child(child);
    return face ? face->text(kind) : QString();
}

} // namespace

class ExamAccessibleTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tabListsAndFigure();
    void answerTabsTellWhatIsTicked_data();
    void answerTabsTellWhatIsTicked();
    void timeAndScoreAreRead();

private:
    QWidget *control(const char *objectName) const { return m_window->findChild<QWidget *>(name(objectName)); }

    FakeClock m_clock;
    ExamWindow *m_window = nullptr;
};

void ExamAccessibleTest::init()
{
    m_window = new ExamWindow(&m_clock);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void ExamAccessibleTest::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

void ExamAccessibleTest::tabListsAndFigure()
{
    QCOMPARE(text(control("SSTab1")), name("問題と図"));
    QCOMPARE(text(control("SSTab2")), name("解答用紙"));
    QCOMPARE(text(control("Picture1")), name("図１"));
    const QString figure = text(control("Picture1"), QAccessible::Description);
    for (const char *fact : {"官設（国有）鉄道と民営鉄道の営業キロの推移", "1887年度 官設483、民営472",
                             "1905年度 官設2,465、民営5,231", "日本国有鉄道『日本国有鉄道百年史』などにより作成",
                             "各年度末の数値。1907年・1910年は概数"})
        QVERIFY2(figure.contains(name(fact)), fact);
}

void ExamAccessibleTest::answerTabsTellWhatIsTicked_data()
{
    QTest::addColumn<int>("question");
    QTest::addColumn<QList<int>>("boxes");
    QTest::addColumn<QString>("description");
    QTest::newRow("nothing") << 1 << QList<int>{} << name("未解答");
    QTest::newRow("1A-問1 ④") << 1 << QList<int>{4} << name("④");
    QTest::newRow("1A-問1 ④ then ①") << 1 << QList<int>{4, 1} << name("①④");
    QTest::newRow("1A-問1 ④ ticked and unticked") << 1 << QList<int>{4, 4} << name("未解答");
    QTest::newRow("4B-問6 ⑥") << 24 << QList<int>{6} << name("⑥");
}

void ExamAccessibleTest::answerTabsTellWhatIsTicked()
{
    QFETCH(int, question);
    QFETCH(QList<int>, boxes);
    QFETCH(QString, description);
    for (int box : boxes)
        tickBox(m_window, question, box);
    QCOMPARE(text(control("SSTab2"), QAccessible::Description, question - 1), description);
    // Another page keeps its own description.
    QCOMPARE(text(control("SSTab2"), QAccessible::Description, question % 36), name("未解答"));
}

void ExamAccessibleTest::timeAndScoreAreRead()
{
    QWidget *time = control("lbl秒");
    QWidget *score = control("lbl得点");
    QTest::mouseClick(control("cmdスタート"), Qt::LeftButton);
    QCOMPARE(text(time), name("残り時間 1:00 分"));

    m_clock.advance(60000);
    m_window->tmr時間_Timer();
    QCOMPARE(text(time), name("残り時間 0:59 分"));

    tickBox(m_window, 1, 4);
    QTest::mouseClick(control("cmd得点"), Qt::LeftButton);
    QCOMPARE(text(score), name("得点 3 点"));
    QCOMPARE(text(m_window->mark(1)), name("正解"));
    QVERIFY(m_window->mark(1)->isVisible());
}

QTEST_MAIN(ExamAccessibleTest)
#include "tst_examaccessible.moc"
