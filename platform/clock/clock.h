#pragma once

#include <QtGlobal>
#include <QTime>

// The clock the countdown reads: the wall-clock time of day, and a monotonic
// count of milliseconds that keeps running while the machine sleeps. Tests
// substitute their own to move time without waiting.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QTime timeOfDay() const = 0;
    virtual qint64 monotonicMs() const = 0;
};

class SystemClock : public Clock
{
public:
    QTime timeOfDay() const override;
    qint64 monotonicMs() const override;
};
