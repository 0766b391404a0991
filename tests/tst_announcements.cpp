// What a screen reader is told in place of what a sighted student sees at a glance:
// the countdown's last minutes, the time asked for, the answer page chosen.
#include "announcements.h"

#include <QtTest>
#include <optional>

Q_DECLARE_METATYPE(std::optional<int>)

class AnnouncementsTest : public QObject
{
    Q_OBJECT

private slots:
    void countdownAnnouncement_data();
    void countdownAnnouncement();
    void remainingTimeReport_data();
    void remainingTimeReport();
    void answerPageReport_data();
    void answerPageReport();
};

void AnnouncementsTest::countdownAnnouncement_data()
{
    QTest::addColumn<int>("minutesLeft");
    QTest::addColumn<QString>("said");   // empty: nothing

    QTest::newRow("1:00") << 60 << QString();
    QTest::newRow("0:11") << 11 << QString();
    QTest::newRow("0:10") << 10 << QStringLiteral("残り10分です");
    QTest::newRow("0:09") << 9 << QString();
    QTest::newRow("0:06") << 6 << QString();
    QTest::newRow("0:05") << 5 << QStringLiteral("残り5分です");
    QTest::newRow("0:04") << 4 << QString();
    QTest::newRow("0:02") << 2 << QString();
    QTest::newRow("0:01") << 1 << QStringLiteral("残り1分です");
    QTest::newRow("0:00") << 0 << QStringLiteral("時間です");
}

void AnnouncementsTest::countdownAnnouncement()
{
    QFETCH(int, minutesLeft);
    QFETCH(QString, said);

    QCOMPARE(::countdownAnnouncement(minutesLeft).value_or(QString()), said);
}

void AnnouncementsTest::remainingTimeReport_data()
{
    QTest::addColumn<std::optional<int>>("minutesShown");
    QTest::addColumn<QString>("said");

    QTest::newRow("before Start") << std::optional<int>() << QStringLiteral("開始前");
    QTest::newRow("1:00") << std::optional<int>(60) << QStringLiteral("残り時間 1:00");
    QTest::newRow("0:37") << std::optional<int>(37) << QStringLiteral("残り時間 0:37");
    QTest::newRow("0:01") << std::optional<int>(1) << QStringLiteral("残り時間 0:01");
    QTest::newRow("0:00") << std::optional<int>(0) << QStringLiteral("時間切れ");
}

void AnnouncementsTest::remainingTimeReport()
{
    QFETCH(std::optional<int>, minutesShown);
    QFETCH(QString, said);

    QCOMPARE(::remainingTimeReport(minutesShown), said);
}

void AnnouncementsTest::answerPageReport_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("ticked");
    QTest::addColumn<QString>("said");

    QTest::newRow("unanswered") << QStringLiteral("1A-問2") << QString() << QStringLiteral("1A-問2 未解答");
    QTest::newRow("one box") << QStringLiteral("1A-問2") << QStringLiteral("①") << QStringLiteral("1A-問2 解答 ①");
    QTest::newRow("two boxes") << QStringLiteral("1B-問3") << QStringLiteral("②⑥") << QStringLiteral("1B-問3 解答 ②⑥");
}

void AnnouncementsTest::answerPageReport()
{
    QFETCH(QString, caption);
    QFETCH(QString, ticked);
    QFETCH(QString, said);

    QCOMPARE(::answerPageReport(caption, ticked), said);
}

QTEST_MAIN(AnnouncementsTest)
#include "tst_announcements.moc"
