#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <vector>

// Helpers shared by the benchmarks: clocks, what /proc says about this
// process, and the statistics the reports print.
namespace bench {

// CLOCK_MONOTONIC in nanoseconds, the clock bench/run.sh stamps BENCH_T0_NS with.
qint64 monotonicNs();

// When this process started, on the CLOCK_MONOTONIC scale: the stamp the parent
// took just before starting us (BENCH_T0_NS), or else the kernel's start time of
// the process, which is only good to a clock tick (10 ms).
qint64 processStartNs();

// A field such as "VmHWM" of /proc/self/status, in kB; -1 when missing.
qint64 statusKb(const char *field);

struct ThreadSample
{
    int tid = 0;
    QString name;
    qint64 cpuNs = 0;               // on-CPU time from schedstat, or utime+stime from stat
    qint64 voluntarySwitches = 0;
    qint64 involuntarySwitches = 0;
};

// One sample of every thread of this process.
QList<ThreadSample> sampleThreads();

struct ProcessSample
{
    qint64 cpuUs = 0;               // user + system time of all threads, dead ones included
    qint64 contextSwitches = 0;     // voluntary + involuntary, dead threads included
};

ProcessSample sampleProcess();

// Median of the values (sorted in place).
double median(std::vector<double> &values);

// The value following "--name" among the arguments, or fallback.
int intArgument(const QStringList &arguments, const QString &name, int fallback);

} // namespace bench
