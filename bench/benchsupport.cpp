#include "benchsupport.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

namespace bench {

namespace {

QByteArray readProcFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // /proc files report a size of 0, so read until the end rather than by size.
    return file.readAll();
}

qint64 statusField(const QByteArray &status, const QByteArray &field)
{
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// The fields of a stat line after the command name, which may itself hold spaces.
QList<QByteArray> statFieldsAfterName(const QByteArray &stat)
{
    const qsizetype close = stat.lastIndexOf(')');
    return stat.mid(close + 2).trimmed().split(' ');
}

qint64 nsFromTimespec(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

qint64 monotonicNs()
{
    return nsFromTimespec(CLOCK_MONOTONIC);
}

qint64 processStartNs()
{
    if (const char *stamp = std::getenv("BENCH_T0_NS"))
        return QByteArray(stamp).toLongLong();

    // starttime (field 22) counts clock ticks since boot; CLOCK_BOOTTIME counts the
    // same span, so the age of the process moves onto the monotonic scale.
    const QList<QByteArray> fields = statFieldsAfterName(readProcFile(QStringLiteral("/proc/self/stat")));
    const qint64 ticks = fields.value(19).toLongLong();
    const qint64 startSinceBootNs = ticks * 1000000000 / sysconf(_SC_CLK_TCK);
    const qint64 ageNs = nsFromTimespec(CLOCK_BOOTTIME) - startSinceBootNs;
    return monotonicNs() - ageNs;
}

qint64 statusKb(const char *field)
{
    return statusField(readProcFile(QStringLiteral("/proc/self/status")), field);
}

QList<ThreadSample> sampleThreads()
{
    QList<ThreadSample> samples;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    const qint64 tickNs = 1000000000 / sysconf(_SC_CLK_TCK);
    for (const QString &entry : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString base = tasks.filePath(entry) + QLatin1Char('/');
        const QByteArray status = readProcFile(base + QStringLiteral("status"));
        if (status.isEmpty())
            continue;   // the thread ended while we looked
        ThreadSample sample;
        sample.tid = entry.toInt();
        sample.name = QString::fromUtf8(readProcFile(base + QStringLiteral("comm")).trimmed());
        sample.voluntarySwitches = statusField(status, "voluntary_ctxt_switches");
        sample.involuntarySwitches = statusField(status, "nonvoluntary_ctxt_switches");
        // schedstat's first number is nanoseconds on the CPU; stat only has whole ticks.
        const QByteArray schedstat = readProcFile(base + QStringLiteral("schedstat"));
        if (!schedstat.isEmpty()) {
            sample.cpuNs = schedstat.split(' ').value(0).toLongLong();
        } else {
            const QList<QByteArray> fields = statFieldsAfterName(readProcFile(base + QStringLiteral("stat")));
            sample.cpuNs = (fields.value(11).toLongLong() + fields.value(12).toLongLong()) * tickNs;
        }
        samples.append(sample);
    }
    return samples;
}

ProcessSample sampleProcess()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    ProcessSample sample;
    sample.cpuUs = (qint64(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) * 1000000 + usage.ru_utime.tv_usec
                   + usage.ru_stime.tv_usec;
    sample.contextSwitches = usage.ru_nvcsw + usage.ru_nivcsw;
    return sample;
}

double median(std::vector<double> &values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

int intArgument(const QStringList &arguments, const QString &name, int fallback)
{
    const qsizetype at = arguments.indexOf(name);
    if (at < 0 || at + 1 >= arguments.size())
        return fallback;
    bool ok = false;
    const int value = arguments.at(at + 1).toInt(&ok);
    return ok ? value : fallback;
}

} // namespace bench
