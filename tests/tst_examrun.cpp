// A practice run: Start, the countdown against an injected clock, Score during a run, Exit.
#include "examfixture.h"
#include "examtesting.h"
#include "examwindow.h"
#include "helpwindow.h"
#include "programfolder.h"
#include "verdictwindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {

// A tick at a wall-clock time, and what the display then shows.
struct Tick
{
    QTime at;
    QString shows;
};
} // namespace
Q_DECLARE_METATYPE(Tick)

class ExamRunTest : public ExamWindowFixture
{
    Q_OBJECT

private slots:

    void startShowsAnHour();
    void workedExample();
    void ticksEverySecond_data();
    void ticksEverySecond();
    void oddTicks_data();
    void oddTicks();
    void timeUpStopsAndLeavesStartDisabled();
    void scoreDuringARun();
    void startAgainAfterScore();
    void appPath_data();
    void appPath();
    void exitClosesEveryWindow();
    void closingTheExamWindowClosesEveryWindow();

private:
    void press(const char *button);
    void tickAt(QTime wall);
    QString display() const;

};



void ExamRunTest::press(const char *button)
{
    QTest::mouseClick(m_window->findChild<QPushButton *>(name(button)), Qt::LeftButton);
}

void ExamRunTest::tickAt(QTime wall)
{
    m_clock.advanceTo(wall);
    m_window->onTimerTick();
}

QString ExamRunTest::display() const
{
    return m_window->findChild<QLabel *>(name("lbl秒"))->text();
}

void ExamRunTest::startShowsAnHour()
{
    m_clock.setWall(QTime(14, 30, 5));
    m_window->checkBox(1, 2)->setChecked(true);
    press("cmdスタート");
    auto *timer = m_window->findChild<QTimer *>(name("tmr時間"));
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 1000);
    QCOMPARE(timer->timerType(), Qt::PreciseTimer);
    QCOMPARE(display(), QStringLiteral("1:00"));
    QVERIFY(!m_window->findChild<QPushButton *>(name("cmdスタート"))->isEnabled());
    QVERIFY(m_window->findChild<QLabel *>(name("lbl得点"))->text().isEmpty());
    QVERIFY(m_window->checkBox(1, 2)->isChecked());
}

void ExamRunTest::workedExample()
{
    m_clock.setWall(QTime(10, 0, 25));
    press("cmdスタート");
    QCOMPARE(display(), QStringLiteral("1:00"));
    tickAt(QTime(10, 0, 59));
    QCOMPARE(display(), QStringLiteral("1:00"));
    tickAt(QTime(10, 1, 0));
    QCOMPARE(display(), QStringLiteral("0:59"));
    tickAt(QTime(10, 59, 0));
    QCOMPARE(display(), QStringLiteral("0:01"));
    auto *timer = m_window->findChild<QTimer *>(name("tmr時間"));
    QVERIFY(timer->isActive());
    tickAt(QTime(11, 0, 0));
    QCOMPARE(display(), QStringLiteral("0:00"));
    QVERIFY(!timer->isActive());
}

void ExamRunTest::ticksEverySecond_data()
{
    QTest::addColumn<QTime>("start");
    QTest::addColumn<int>("tickOffsetMs");
    QTest::addColumn<QTime>("lastMinuteShown");

    QTest::newRow("start mid-minute, ticks on the second") << QTime(10, 0, 25) << 0 << QTime(10, 59, 0);
    QTest::newRow("ticks 999 ms after the second") << QTime(10, 0, 25, 1) << 999 << QTime(10, 59, 0, 999);
    QTest::newRow("start on second 59") << QTime(8, 14, 59, 500) << 500 << QTime(9, 13, 0, 500);
    QTest::newRow("across midnight") << QTime(23, 40, 10) << 0 << QTime(0, 39, 0);
}

// A tick every second for the whole run: the display steps once per wall-clock
// minute, never skips, and reads 0:00 at the 60th boundary.
void ExamRunTest::ticksEverySecond()
{
    QFETCH(QTime, start);
    QFETCH(int, tickOffsetMs);
    QFETCH(QTime, lastMinuteShown);

    m_clock.setWall(start);
    press("cmdスタート");
    QStringList shown{display()};
    QTime firstTick = QTime(start.hour(), start.minute(), start.second()).addMSecs(1000 + tickOffsetMs);
    m_clock.advanceTo(firstTick);
    for (int i = 0; i < 3700 && m_window->findChild<QTimer *>(name("tmr時間"))->isActive(); ++i) {
        m_window->onTimerTick();
        if (display() != shown.last()) {
            shown << display();
            if (display() == QLatin1String("0:01"))
                QCOMPARE(m_clock.timeOfDay(), lastMinuteShown);
        }
        m_clock.advance(1000);
    }
    QCOMPARE(shown.size(), 61);
    QCOMPARE(shown.first(), QStringLiteral("1:00"));
    QCOMPARE(shown[1], QStringLiteral("0:59"));
    QCOMPARE(shown.last(), QStringLiteral("0:00"));
}

void ExamRunTest::oddTicks_data()
{
    QTest::addColumn<QList<Tick>>("ticks");
    // Started at 10:00:25 in each case.
    QTest::newRow("no tick falls on second 0")
        << QList<Tick>{{QTime(10, 0, 59, 600), "1:00"}, {QTime(10, 1, 1, 100), "0:59"}, {QTime(10, 2, 2), "0:58"}};
    QTest::newRow("two ticks inside one second 0")
        << QList<Tick>{{QTime(10, 1, 0, 10), "0:59"}, {QTime(10, 1, 0, 960), "0:59"}, {QTime(10, 1, 1), "0:59"}};
    QTest::newRow("early tick just before the boundary")
        << QList<Tick>{{QTime(10, 0, 59, 950), "1:00"}, {QTime(10, 1, 0, 900), "0:59"}};
    QTest::newRow("long pause")
        << QList<Tick>{{QTime(10, 1, 0), "0:59"}, {QTime(10, 21, 30), "0:39"}, {QTime(10, 21, 31), "0:39"}};
    QTest::newRow("pause past the end")
        << QList<Tick>{{QTime(10, 5, 0), "0:55"}, {QTime(11, 30, 0), "0:00"}};
}

void ExamRunTest::oddTicks()
{
    QFETCH(QList<Tick>, ticks);
    m_clock.setWall(QTime(10, 0, 25));
    press("cmdスタート");
    for (const Tick &tick : ticks) {
        tickAt(tick.at);
        QCOMPARE(display(), tick.shows);
    }
}

void ExamRunTest::timeUpStopsAndLeavesStartDisabled()
{
    m_clock.setWall(QTime(10, 0, 25));
    press("cmdスタート");
    // The wall clock set back an hour, then forward, changes nothing: only time passed counts.
    tickAt(QTime(10, 30, 0));
    QCOMPARE(display(), QStringLiteral("0:30"));
    m_clock.setWall(QTime(9, 30, 0));
    m_clock.advance(1000);
    m_window->onTimerTick();
    QCOMPARE(display(), QStringLiteral("0:30"));
    m_clock.setWall(QTime(12, 0, 0));
    m_clock.advance(1000);
    m_window->onTimerTick();
    QCOMPARE(display(), QStringLiteral("0:30"));

    m_clock.advance(30 * 60 * 1000);
    m_window->onTimerTick();
    QCOMPARE(display(), QStringLiteral("0:00"));
    auto *timer = m_window->findChild<QTimer *>(name("tmr時間"));
    QVERIFY(!timer->isActive());
    QVERIFY(!m_window->findChild<QPushButton *>(name("cmdスタート"))->isEnabled());

    press("cmd得点");
    QVERIFY(m_window->findChild<QPushButton *>(name("cmdスタート"))->isEnabled());
    QVERIFY(display().isEmpty());
}

void ExamRunTest::scoreDuringARun()
{
    m_clock.setWall(QTime(10, 0, 25));
    m_window->checkBox(1, 4)->setChecked(true);
    press("cmdスタート");
    tickAt(QTime(10, 20, 0));
    QCOMPARE(display(), QStringLiteral("0:40"));
    press("cmd得点");
    auto *timer = m_window->findChild<QTimer *>(name("tmr時間"));
    QVERIFY(!timer->isActive());
    QVERIFY(display().isEmpty());
    QVERIFY(m_window->findChild<QPushButton *>(name("cmdスタート"))->isEnabled());
    QCOMPARE(m_window->findChild<QLabel *>(name("lbl得点"))->text(), QStringLiteral("3"));
}

void ExamRunTest::startAgainAfterScore()
{
    m_clock.setWall(QTime(10, 0, 25));
    m_window->checkBox(1, 4)->setChecked(true);
    press("cmdスタート");
    tickAt(QTime(10, 45, 0));
    press("cmd得点");
    QVERIFY(!m_window->mark(1)->isHidden());

    press("cmdスタート");
    QCOMPARE(display(), QStringLiteral("1:00"));
    QVERIFY(m_window->mark(1)->isHidden());
    QVERIFY(m_window->checkBox(1, 4)->isChecked());
    QVERIFY(m_window->findChild<QLabel *>(name("lbl得点"))->text().isEmpty());
    tickAt(QTime(10, 46, 0));
    QCOMPARE(display(), QStringLiteral("0:59"));
}

void ExamRunTest::appPath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ordinary folder") << "/usr/lib/nihonshib" << "/usr/lib/nihonshib/";
    QTest::newRow("already ends in a separator") << "/opt/exam/" << "/opt/exam/";
    QTest::newRow("root folder") << "/" << "/";
}

void ExamRunTest::appPath()
{
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    QCOMPARE(withTrailingSeparator(folder), expected);
}

// Records the order in which windows go: the exam window when it is hidden, the
// others when they are destroyed.
class UnloadOrder : public QObject
{
public:
    QStringList order;

    void watch(QWidget *window)
    {
        window->installEventFilter(this);
        connect(window, &QObject::destroyed, this, [this, name = window->objectName()] { order << name; });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide && watched->objectName() == QStringLiteral("frm日本史B"))
            order << watched->objectName();
        return false;
    }
};

void ExamRunTest::exitClosesEveryWindow()
{
    for (int score : {100, 0, 85}) {
        markScore(m_window, score);
        m_window->onPassRateClicked();
    }
    m_window->onAboutTriggered();
    QPointer<VerdictWindow> first = m_window->verdictWindow(1);
    QPointer<VerdictWindow> sixth = m_window->verdictWindow(6);
    QPointer<HelpWindow> help = m_window->helpWindow();
    QVERIFY(first && sixth && help);
    QVERIFY(first->isVisible() && sixth->isVisible() && help->isVisible());
    UnloadOrder unloaded;
    unloaded.watch(m_window);
    for (QWidget *window : {static_cast<QWidget *>(help.data()), static_cast<QWidget *>(sixth.data()),
                            static_cast<QWidget *>(first.data()), static_cast<QWidget *>(m_window->verdictWindow(2))})
        unloaded.watch(window);

    // Exit, chosen while the program runs its event loop, ends it with status 0.
    QTimer::singleShot(0, m_window->findChild<QAction *>(name("mnuExit")), &QAction::trigger);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    watchdog.start(5000);
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!m_window->isVisible());
    QVERIFY(!first && !sixth && !help);
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
    // The exam window first, then the verdict windows in order, then the help window.
    QCOMPARE(unloaded.order, QStringList({name("frm日本史B"), name("frm合格ライン1"), name("frm合格ライン2"),
                                          name("frm合格ライン6"), name("frmヘルプ")}));
}

void ExamRunTest::closingTheExamWindowClosesEveryWindow()
{
    m_window->onAboutTriggered();
    QPointer<HelpWindow> help = m_window->helpWindow();
    QVERIFY(help && help->isVisible());
    QVERIFY(m_window->close());
    QTRY_VERIFY(!help);
}

QTEST_MAIN(ExamRunTest)
#include "tst_examrun.moc"
