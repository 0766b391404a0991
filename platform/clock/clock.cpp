#include "clock.h"

#include <ctime>

QTime SystemClock::timeOfDay() const
{
    return QTime::currentTime();
}

qint64 SystemClock::monotonicMs() const
{
    // CLOCK_BOOTTIME, unlike CLOCK_MONOTONIC, also counts time spent suspended:
    // an exam hour goes on while the lid is closed.
    timespec ts{};
#ifdef CLOCK_BOOTTIME
    clock_gettime(CLOCK_BOOTTIME, &ts);
#else
    clock_gettime(CLOCK_MONOTONIC, &ts);
#endif
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
