#include "countdown.h"

void Countdown::start(QTime wallClockAtStart, qint64 monotonicMsAtStart)
{
    m_msIntoMinuteAtStart = wallClockAtStart.second() * 1000 + wallClockAtStart.msec();
    m_monotonicMsAtStart = monotonicMsAtStart;
    m_lowest = runMinutes;
}

int Countdown::minutesLeft(qint64 monotonicMsNow)
{
    const qint64 elapsed = qMax<qint64>(0, monotonicMsNow - m_monotonicMsAtStart);
    const qint64 boundaries = (m_msIntoMinuteAtStart + elapsed) / 60000;
    const int left = runMinutes - int(qMin<qint64>(boundaries, runMinutes));
    // The display never counts back up, whatever the clock reports.
    m_lowest = qMin(m_lowest, left);
    return m_lowest;
}

QString remainingTimeCaption(int minutesLeft)
{
    return QStringLiteral("%1:%2").arg(minutesLeft / 60).arg(minutesLeft % 60, 2, 10, QLatin1Char('0'));
}
