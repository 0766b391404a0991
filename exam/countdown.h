#pragma once

#include <QString>
#include <QTime>
#include <QtGlobal>

// Minutes left of a timed run. One minute comes off at every wall-clock minute
// boundary after Start. The boundaries are counted from where in its minute the
// wall clock stood at Start plus the monotonic time since, so late, early or
// missed ticks, a suspended machine and a wall clock that is set back or forward
// never add or lose a minute.
class Countdown
{
public:
    static constexpr int runMinutes = 60;

    void start(QTime wallClockAtStart, qint64 monotonicMsAtStart);
    int minutesLeft(qint64 monotonicMsNow);

private:
    qint64 m_msIntoMinuteAtStart = 0;
    qint64 m_monotonicMsAtStart = 0;
    int m_lowest = runMinutes;
};

// The remaining time as the run shows it, "h:mm": 60 minutes read "1:00", 59 "0:59".
QString remainingTimeCaption(int minutesLeft);
