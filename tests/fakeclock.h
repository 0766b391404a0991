#pragma once

#include "clock.h"

// A clock the test moves by hand: wall-clock time of day and a monotonic count
// that advance together unless the test sets the wall clock on its own.
class FakeClock : public Clock
{
public:
    QTime timeOfDay() const override { return m_wall; }
    qint64 monotonicMs() const override { return m_monotonic; }

    void setWall(QTime wall) { m_wall = wall; }
    void advance(qint64 ms)
    {
        m_monotonic += ms;
        m_wall = m_wall.addMSecs(int(ms % 86400000));
    }
    // Moves both clocks forward to the given wall-clock time (across midnight if earlier).
    void advanceTo(QTime wall)
    {
        qint64 ms = m_wall.msecsTo(wall);
        if (ms < 0)
            ms += 86400000;
        advance(ms);
    }

private:
    QTime m_wall{0, 0};
    qint64 m_monotonic = 1000000;
};
