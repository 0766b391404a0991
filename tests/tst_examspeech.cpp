// What the exam window has a screen reader say without the focus moving: the
// countdown's last minutes, the time key (F2), the answer page chosen, the score.
#include "announcer.h"
#include "examfixture.h"
#include "examtesting.h"
#include "reviewtesting.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

class ExamSpeechTest : public ExamWindowFixture
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(openWindow(true)); }

    void countdownAnnouncements_data();
    void countdownAnnouncements();
    void timeKey();
    void answerPageChosen();
    void scoreSpoken();

private:
    QStringList said(const QSignalSpy &spy) const;
    void startAt(QTime wall);
    void tickAt(QTime wall);
};

QStringList ExamSpeechTest::said(const QSignalSpy &spy) const
{
    QStringList messages;
    for (const QList<QVariant> &call : spy)
        messages << call.at(0).toString();
    return messages;
}

void ExamSpeechTest::startAt(QTime wall)
{
    m_clock.setWall(wall);
    clickButton(m_window, "cmdスタート");
}

void ExamSpeechTest::tickAt(QTime wall)
{
    m_clock.advanceTo(wall);
    m_window->onTimerTick();
}

void ExamSpeechTest::countdownAnnouncements_data()
{
    QTest::addColumn<QTime>("tick");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("said");   // empty: nothing

    // Start at 9:00:30; a minute comes off at every minute boundary after it.
    QTest::newRow("0:11") << QTime(9, 49, 0) << u"0:11"_qs << QString();
    QTest::newRow("0:10") << QTime(9, 50, 0) << u"0:10"_qs << u"残り10分です"_qs;
    QTest::newRow("0:09") << QTime(9, 51, 0) << u"0:09"_qs << QString();
    QTest::newRow("0:05") << QTime(9, 55, 0) << u"0:05"_qs << u"残り5分です"_qs;
    QTest::newRow("0:02") << QTime(9, 58, 0) << u"0:02"_qs << QString();
    QTest::newRow("0:01") << QTime(9, 59, 0) << u"0:01"_qs << u"残り1分です"_qs;
    QTest::newRow("0:00") << QTime(10, 0, 0) << u"0:00"_qs << u"時間です"_qs;
}

void ExamSpeechTest::countdownAnnouncements()
{
    QFETCH(QTime, tick);
    QFETCH(QString, shown);
    QFETCH(QString, said);

    auto *announcer = m_window->findChild<Announcer *>();
    QVERIFY(announcer);
    startAt(QTime(9, 0, 30));
    QWidget *focused = QApplication::focusWidget();
    tickAt(tick.addSecs(-60));
    QSignalSpy spy(announcer, &Announcer::announced);
    tickAt(tick);
    QCOMPARE(m_window->findChild<QLabel *>(name("lbl秒"))->text(), shown);
    QCOMPARE(this->said(spy), said.isEmpty() ? QStringList() : QStringList{said});
    // A second tick in the same minute says nothing again.
    tickAt(tick.addSecs(1));
    QCOMPARE(spy.count(), said.isEmpty() ? 0 : 1);
    QCOMPARE(QApplication::focusWidget(), focused);
    QVERIFY(announcer->isHidden());
}

void ExamSpeechTest::timeKey()
{
    auto *announcer = m_window->findChild<Announcer *>();
    QSignalSpy spy(announcer, &Announcer::announced);
    const auto pressTimeKey = [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2); };

    pressTimeKey();
    startAt(QTime(9, 0, 30));
    pressTimeKey();
    tickAt(QTime(9, 23, 0));
    // From the booklet too, where the caret's keys are.
    m_window->findChild<QWidget *>(name("RichTextBox1"))->setFocus();
    pressTimeKey();
    tickAt(QTime(10, 0, 0));
    pressTimeKey();
    clickButton(m_window, "cmd得点");
    pressTimeKey();
    QCOMPARE(said(spy), (QStringList{u"開始前"_qs, u"残り時間 1:00"_qs, u"残り時間 0:37"_qs, u"時間です"_qs,
                                     u"時間切れ"_qs, u"得点 0 点"_qs, u"開始前"_qs}));
}

// Chosen by Ctrl+Tab and Ctrl+Shift+Tab in the answer sheet, or by a click on a tab.
void ExamSpeechTest::answerPageChosen()
{
    auto *announcer = m_window->findChild<Announcer *>();
    QSignalSpy spy(announcer, &Announcer::announced);
    const auto nextPage = [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier); };
    const auto previousPage = [] {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    };

    m_window->checkBox(1, 1)->setFocus();
    nextPage();
    tickBox(m_window, 2, 1);
    tickBox(m_window, 2, 3);
    previousPage();
    tickBox(m_window, 1, 4);
    nextPage();
    previousPage();
    tickBox(m_window, 3, 6);
    QCOMPARE(said(spy), (QStringList{u"1A-問2 未解答"_qs, u"1A-問1 未解答"_qs, u"1A-問2 解答 ①③"_qs,
                                     u"1A-問1 解答 ④"_qs, u"1B-問3 未解答"_qs}));
}

void ExamSpeechTest::scoreSpoken()
{
    tickBox(m_window, 1, 4);
    tickBox(m_window, 2, 2);
    QSignalSpy spy(m_window->findChild<Announcer *>(), &Announcer::announced);
    clickButton(m_window, "cmd得点");
    QCOMPARE(said(spy), QStringList{u"得点 6 点"_qs});
}

QTEST_MAIN(ExamSpeechTest)
#include "tst_examspeech.moc"
