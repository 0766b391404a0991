// What a screen reader is told in the exam window without the focus moving: what a
// sighted student takes in at a glance (the clock, the page shown, the score).
#include "examwindow.h"

#include "announcements.h"
#include "announcer.h"
#include "tabcontrol.h"

#include <QShortcut>

namespace {

// Asks for the remaining time from anywhere in the exam window; no control uses it.
const QKeySequence timeKey(Qt::Key_F2);

} // namespace

void ExamWindow::buildAnnouncements(QWidget *client)
{
    m_announcer = new Announcer(client);

    auto *timeShortcut = new QShortcut(timeKey, this);
    timeShortcut->setObjectName(QStringLiteral("timeKey"));
    timeShortcut->setContext(Qt::WindowShortcut);
    connect(timeShortcut, &QShortcut::activated, this, [this] { announceRemainingTime(); });

    connect(m_answerTabs, &TabControl::currentChanged, this, [this](int index) { announceAnswerPage(index); });
}

void ExamWindow::announceCountdown(int minutesLeft)
{
    if (const std::optional<QString> message = countdownAnnouncement(minutesLeft))
        m_announcer->announce(*message);
}

void ExamWindow::announceRemainingTime()
{
    m_announcer->announce(remainingTimeReport(m_minutesShown));
}

void ExamWindow::announceAnswerPage(int index)
{
    if (index < 0 || index >= questionCount)
        return;
    m_announcer->announce(answerPageReport(answerPageCaption(index + 1), tickedBoxes(index + 1)));
}

// Read as the score label reads, "得点 79 点".
void ExamWindow::announceScore()
{
    m_announcer->announce(m_score ? QStringLiteral("得点 %1 点").arg(*m_score) : QStringLiteral("得点 なし"));
}
