// Verdict windows opened and closed again and again, as a student pressing 合格率
// and closing the window does: the resident memory after a warm-up and after the
// measured cycles. Target: 300 cycles grow it by at most 1 MiB.
//
// usage: bench-verdict [--warmup N] [--cycles N] [--direct]
//   by default through the exam window's 合格率 handler after a blank sheet is
//   marked (the window of no points); --direct makes the six windows in turn itself.
#include "benchsupport.h"
#include "examwindow.h"
#include "verdictwindow.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>
#include <malloc.h>

namespace {

void settle()
{
    // Closing queues the window's deletion; let it and any repaints happen.
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

qint64 residentKb()
{
    // What the allocator holds but no longer uses is not growth.
    malloc_trim(0);
    return bench::statusKb("VmRSS");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const auto option = [&](const char *name, int fallback) {
        const qsizetype at = arguments.indexOf(QLatin1String(name));
        return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1).toInt() : fallback;
    };
    const int warmup = option("--warmup", 50);
    const int cycles = option("--cycles", 300);
    const bool direct = arguments.contains(QStringLiteral("--direct"));

    ExamWindow exam;
    exam.show();
    // A blank sheet marked: no points, the last band.
    exam.onStartClicked();
    exam.onScoreClicked();
    settle();
    int cycle = 0;
    const auto oneCycle = [&] {
        if (direct) {
            auto *window = new VerdictWindow(1 + cycle++ % 6);
            window->show();
            settle();
            window->close();
        } else {
            exam.onPassRateClicked();
            settle();
            if (VerdictWindow *window = exam.verdictWindow(6))
                window->close();
        }
        settle();
    };

    for (int i = 0; i < warmup; ++i)
        oneCycle();
    const qint64 before = residentKb();
    for (int i = 0; i < cycles; ++i)
        oneCycle();
    const qint64 after = residentKb();
    std::printf("verdict mode=%s warmup=%d cycles=%d rss_before_kb=%lld rss_after_kb=%lld growth_kb=%lld "
                "per_cycle_bytes=%.0f\n",
                direct ? "direct" : "exam-window", warmup, cycles, before, after, after - before,
                cycles > 0 ? double(after - before) * 1024.0 / cycles : 0.0);
    return 0;
}
