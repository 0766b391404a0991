// The window's thread while the sound device reads: a 1 ms timer on that thread notes
// the longest gap between its ticks (the longest the window could not have drawn a
// frame), first while a small file is read by the process's first Open, which loads the
// sound module too, and then by a later one; then while a sound file as large as is read
// is read once, then while a large file keeps changing and is opened once a second as
// the countdown does. The same timer alone, for as long, is the floor.
#include "benchsupport.h"
#include "mediacontrol.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include <cstdio>
#include <functional>

namespace {

bool writeWave(const QString &path, qint64 fileBytes)
{
    const qint64 dataBytes = (fileBytes - 44) & ~qint64(1);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray header("RIFF");
    const auto put32 = [&header](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        header.append(b, 4);
    };
    const auto put16 = [&header](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        header.append(b, 2);
    };
    put32(quint32(36 + dataBytes));
    header.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(1);
    put32(44100);
    put32(44100 * 2);
    put16(2);
    put16(16);
    header.append("data");
    put32(quint32(dataBytes));
    file.write(header);
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (int i = 0; i < block.size() / 2; ++i)
        qToLittleEndian<qint16>(qint16((i % 200 - 100) * 100), block.data() + 2 * i);
    for (qint64 left = dataBytes; left > 0; left -= block.size())
        file.write(block.constData(), qMin<qint64>(left, block.size()));
    return file.error() == QFile::NoError;
}

// Runs the event loop until done() holds or timeoutMs passes, and returns the longest
// gap between ticks of a 1 ms timer on this thread, in milliseconds.
double longestGapMs(const std::function<bool()> &done, int timeoutMs)
{
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    qint64 last = bench::monotonicNs();
    qint64 longest = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = bench::monotonicNs();
        longest = qMax(longest, now - last);
        last = now;
    });
    ticker.start();
    QElapsedTimer waited;
    waited.start();
    while (!done() && !waited.hasExpired(timeoutMs))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    longest = qMax(longest, bench::monotonicNs() - last);
    return double(longest) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    qint64 megabytes = 50;
    int changingSeconds = 9;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--megabytes"))
            megabytes = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--changing-seconds"))
            changingSeconds = args[i + 1].toInt();
    }
    const qint64 fileBytes = qMin(megabytes * 1024 * 1024, maxSoundFileBytes);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sound.wav"));
    if (!dir.isValid() || !writeWave(path, fileBytes)) {
        std::fprintf(stderr, "bench-sound: cannot write %s\n", qPrintable(path));
        return 1;
    }

    // The first Open of the process loads the sound module in the reading thread as well;
    // a second device then reads a file as small without it.
    {
        double readMs[2] = {};
        double gapMs[2] = {};
        for (int time = 0; time < 2; ++time) {
            const QString small = dir.filePath(QStringLiteral("small-%1.wav").arg(time));
            if (!writeWave(small, 4096)) {
                std::fprintf(stderr, "bench-sound: cannot write %s\n", qPrintable(small));
                return 1;
            }
            MediaControl control;
            bool opened = false;
            QObject::connect(&control, &MediaControl::opened, [&opened] { opened = true; });
            control.setFileName(small);
            const qint64 startNs = bench::monotonicNs();
            control.setCommand(QStringLiteral("Open"));
            gapMs[time] = longestGapMs([&opened] { return opened; }, 60000);
            readMs[time] = opened ? double(bench::monotonicNs() - startNs) / 1e6 : -1.0;
        }
        std::printf("case=first_open file_bytes=4096 first_read_ms=%.2f longest_gui_gap_ms=%.2f "
                    "later_read_ms=%.2f later_gui_gap_ms=%.2f\n",
                    readMs[0], gapMs[0], readMs[1], gapMs[1]);
    }

    // One read of the whole file.
    {
        MediaControl control;
        bool opened = false;
        QObject::connect(&control, &MediaControl::opened, [&opened] { opened = true; });
        control.setFileName(path);
        QElapsedTimer took;
        took.start();
        control.setCommand(QStringLiteral("Open"));
        const double gap = longestGapMs([&opened] { return opened; }, 60000);
        const qint64 readMs = took.elapsed();
        const double floor = longestGapMs([] { return false; }, int(qMax<qint64>(readMs, 100)));
        std::printf("case=read file_bytes=%lld read_ms=%lld opened=%d longest_gui_gap_ms=%.2f floor_gap_ms=%.2f\n",
                    qint64(fileBytes), readMs, int(opened), gap, floor);
    }

    // A file that keeps changing (its time touched every 300 ms), opened once a second.
    {
        MediaControl control;
        control.setFileName(path);
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&control] { control.setCommand(QStringLiteral("Open")); });
        QTimer touch;
        int touches = 0;
        QObject::connect(&touch, &QTimer::timeout, [&path, &touches] {
            QFile file(path);
            if (file.open(QIODevice::ReadWrite))
                file.setFileTime(QDateTime::currentDateTime().addSecs(++touches), QFileDevice::FileModificationTime);
        });
        control.setCommand(QStringLiteral("Open"));
        tick.start(1000);
        touch.start(300);
        QElapsedTimer ran;
        ran.start();
        const double gap = longestGapMs([] { return false; }, changingSeconds * 1000);
        std::printf("case=changing file_bytes=%lld seconds=%.1f reads=%d longest_gui_gap_ms=%.2f\n", qint64(fileBytes),
                    double(ran.elapsed()) / 1000.0, control.readCount(), gap);
    }
    return 0;
}
