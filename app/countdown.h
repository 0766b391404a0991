#pragma once

#include <QtGlobal>
#include <QTime>

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

// The time of day that hours, minutes and seconds add up to: 60 minutes make 1:00:00.
QTime timeSerial(int hours, int minutes, int seconds);
