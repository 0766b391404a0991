// A running countdown: CPU time and wake-ups of every thread of the program over
// a stretch of the hour, measured from /proc. The exam window is made here and its
// Start pressed by calling the handler, as the button would. --booklet also puts
// the keyboard focus in the question booklet, as a student reading it has it, so
// anything the viewer runs while focused (a caret's blink) counts. --idle leaves
// Start alone and --empty shows a bare QMainWindow instead, for comparison.
#include "benchsupport.h"
#include "examwindow.h"

#include <QApplication>
#include <QHash>
#include <QMainWindow>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

enum class ThreadRole { Gui, Audio, Other };

// Qt Multimedia's and PulseAudio's threads, told apart by the names they give themselves.
ThreadRole roleOf(const bench::ThreadSample &thread)
{
    if (thread.tid == getpid())
        return ThreadRole::Gui;
    const QString name = thread.name.toLower();
    for (const char *audio : {"pulse", "threaded-ml", "audio", "alsa", "multimedia", "qffmpeg", "gst"}) {
        if (name.contains(QLatin1String(audio)))
            return ThreadRole::Audio;
    }
    return ThreadRole::Other;
}

const char *roleName(ThreadRole role)
{
    switch (role) {
    case ThreadRole::Gui:
        return "gui";
    case ThreadRole::Audio:
        return "audio";
    case ThreadRole::Other:
        break;
    }
    return "other";
}

// The thread's name as one word, so the report stays one key=value list a line.
QString printableName(const bench::ThreadSample &thread)
{
    if (thread.name.isEmpty())
        return QStringLiteral("?");
    return thread.name.simplified().replace(QLatin1Char(' '), QLatin1Char('_'));
}

struct Window
{
    qint64 startNs = 0;
    QList<bench::ThreadSample> threads;
    bench::ProcessSample process;
};

Window sampleNow()
{
    Window sample;
    sample.startNs = bench::monotonicNs();
    sample.threads = bench::sampleThreads();
    sample.process = bench::sampleProcess();
    return sample;
}

// The window must be active for the booklet to get the focus (and so its focus-in event).
void focusBooklet(QWidget *window)
{
    window->activateWindow();
    QApplication::setActiveWindow(window);
    window->findChild<QWidget *>(QStringLiteral("RichTextBox1"))->setFocus(Qt::MouseFocusReason);
}

// Which control has the keyboard focus, so the report shows the booklet really had it.
QString focusName()
{
    const QWidget *focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QStringLiteral("none");
}

void report(const char *mode, const Window &before, const Window &after)
{
    const double seconds = double(after.startNs - before.startNs) / 1e9;
    QHash<int, bench::ThreadSample> earlier;
    for (const bench::ThreadSample &thread : before.threads)
        earlier.insert(thread.tid, thread);

    double wakeupsByRole[3] = {};
    double cpuMsByRole[3] = {};
    for (const bench::ThreadSample &thread : after.threads) {
        // A thread born during the stretch counts from zero.
        const bench::ThreadSample start = earlier.value(thread.tid);
        const qint64 voluntary = thread.voluntarySwitches - start.voluntarySwitches;
        const qint64 involuntary = thread.involuntarySwitches - start.involuntarySwitches;
        const double cpuMs = double(thread.cpuNs - start.cpuNs) / 1e6;
        const ThreadRole role = roleOf(thread);
        wakeupsByRole[int(role)] += double(voluntary + involuntary);
        cpuMsByRole[int(role)] += cpuMs;
        std::printf("countdown-thread mode=%s tid=%d name=%s role=%s new=%s cpu_ms=%.2f voluntary=%lld "
                    "involuntary=%lld wakeups_per_s=%.3f\n",
                    mode, thread.tid, qPrintable(printableName(thread)),
                    roleName(role), earlier.contains(thread.tid) ? "no" : "yes", cpuMs, qlonglong(voluntary),
                    qlonglong(involuntary), double(voluntary + involuntary) / seconds);
    }
    for (const bench::ThreadSample &thread : before.threads) {
        const bool ended = std::none_of(after.threads.begin(), after.threads.end(),
                                        [&thread](const bench::ThreadSample &t) { return t.tid == thread.tid; });
        if (ended)
            std::printf("countdown-thread mode=%s tid=%d name=%s ended=yes\n", mode, thread.tid,
                        qPrintable(printableName(thread)));
    }

    const double processCpuMs = double(after.process.cpuUs - before.process.cpuUs) / 1e3;
    const double processSwitches = double(after.process.contextSwitches - before.process.contextSwitches);
    std::printf("countdown mode=%s platform=%s focus=%s seconds=%.2f threads=%lld cpu_ms=%.2f cpu_percent_of_core=%.4f "
                "wakeups_per_s=%.3f gui_wakeups_per_s=%.3f gui_cpu_ms=%.2f audio_wakeups_per_s=%.3f "
                "audio_cpu_ms=%.2f other_wakeups_per_s=%.3f other_cpu_ms=%.2f hwm_kb=%lld\n",
                mode, qPrintable(QGuiApplication::platformName()), qPrintable(focusName()), seconds,
                qlonglong(after.threads.size()),
                processCpuMs, processCpuMs / (seconds * 1000.0) * 100.0, processSwitches / seconds,
                wakeupsByRole[int(ThreadRole::Gui)] / seconds, cpuMsByRole[int(ThreadRole::Gui)],
                wakeupsByRole[int(ThreadRole::Audio)] / seconds, cpuMsByRole[int(ThreadRole::Audio)],
                wakeupsByRole[int(ThreadRole::Other)] / seconds, cpuMsByRole[int(ThreadRole::Other)],
                bench::statusKb("VmHWM"));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const int warmupMs = bench::intArgument(arguments, QStringLiteral("--warmup-ms"), 3000);
    const int measureMs = bench::intArgument(arguments, QStringLiteral("--measure-ms"), 60000);
    const bool empty = arguments.contains(QStringLiteral("--empty"));
    const bool idle = arguments.contains(QStringLiteral("--idle"));
    const bool booklet = arguments.contains(QStringLiteral("--booklet"));
    const char *mode = empty ? "empty" : idle ? "idle" : booklet ? "booklet" : "running";

    std::unique_ptr<QMainWindow> window;
    ExamWindow *exam = nullptr;
    if (empty) {
        window = std::make_unique<QMainWindow>();
        window->resize(792, 572);
    } else {
        auto examWindow = std::make_unique<ExamWindow>();
        exam = examWindow.get();
        window = std::move(examWindow);
    }
    window->show();
    if (exam && !idle)
        QTimer::singleShot(0, exam, [exam] { exam->onStartClicked(); });
    if (exam && booklet)
        QTimer::singleShot(0, exam, [exam] { focusBooklet(exam); });

    // Two single-shot timers bound the stretch, so the measuring itself adds about
    // one wake-up to the whole of it.
    Window before;
    QTimer::singleShot(warmupMs, Qt::PreciseTimer, window.get(), [&before] { before = sampleNow(); });
    QTimer::singleShot(warmupMs + measureMs, Qt::PreciseTimer, window.get(), [&before, mode] {
        report(mode, before, sampleNow());
        QCoreApplication::quit();
    });
    return QApplication::exec();
}
