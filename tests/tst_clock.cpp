// The system clock the countdown reads: its monotonic count keeps pace with the
// toolkit's own elapsed-time clock and never steps back.
#include "clock.h"

#include <QElapsedTimer>
#include <QtTest>

class ClockTest : public QObject
{
    Q_OBJECT

private slots:
    void monotonicMsKeepsPace();
};

// About 50 ms of real time, which is the thing measured. Each end is read between two
// readings of the reference, so a thread preempted at the wrong moment still passes.
void ClockTest::monotonicMsKeepsPace()
{
    const SystemClock clock;
    QElapsedTimer reference;
    reference.start();
    const qint64 first = clock.monotonicMs();
    const qint64 firstNoLaterThan = reference.elapsed();
    qint64 previous = first;
    while (reference.elapsed() < 50) {
        const qint64 now = clock.monotonicMs();
        QVERIFY2(now >= previous, qPrintable(QStringLiteral("%1 after %2").arg(now).arg(previous)));
        previous = now;
    }
    const qint64 lastNoEarlierThan = reference.elapsed();
    const qint64 last = clock.monotonicMs();
    const qint64 lastNoLaterThan = reference.elapsed();
    // Whole milliseconds on both clocks: a millisecond of rounding at each end.
    const qint64 span = last - first;
    QVERIFY2(span >= lastNoEarlierThan - firstNoLaterThan - 2 && span <= lastNoLaterThan + 2,
             qPrintable(QStringLiteral("%1 ms against %2-%3 ms").arg(span).arg(lastNoEarlierThan - firstNoLaterThan)
                            .arg(lastNoLaterThan)));
}

QTEST_GUILESS_MAIN(ClockTest)
#include "tst_clock.moc"
