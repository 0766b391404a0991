#include "soundplayer.h"

#include "medialogging.h"
#include "soundserverprobe.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <utility>

namespace {

// How long the application's end waits for an audio thread blocked inside the audio
// library, on a sound server that stopped answering after it had answered our question.
constexpr int stopWaitMs = 1500;
// However busy the machine, the application's end does not wait longer than this.
constexpr int stopGiveUpMs = 10000;
// How often a playing output is checked for a stream the sound server has ended.
constexpr int outputCheckMs = 200;
// How long a stopped output waits for the sound server to take a new client, to tell
// the server gone from the output alone; a server that is there answers at once.
constexpr int serverCheckMs = 1000;

QThread *sharedAudioThread = nullptr;
std::atomic<bool> audioThreadGivenUp{false};
// How many calls into the audio library that may wait for the sound server are under way.
std::atomic<int> callsIntoAudioLibrary{0};

struct AudioLibraryCall
{
    AudioLibraryCall() { ++callsIntoAudioLibrary; }
    ~AudioLibraryCall() { --callsIntoAudioLibrary; }
    Q_DISABLE_COPY(AudioLibraryCall)
};

void stopAudioThread()
{
    if (!sharedAudioThread)
        return;
    cancelSoundServerQuestions();
    sharedAudioThread->quit();
    // The thread may still have work queued (closing an output, deleting a player): that
    // is waited for as long as a busy machine takes (up to stopGiveUpMs, lest the end
    // hang), because the audio library is torn down once the application has gone, and
    // a thread still using it then crashes the process. A thread blocked inside the
    // audio library on a sound server that stopped answering is given up on sooner. A
    // thread given up on keeps its QThread (reachable through sharedAudioThread) and
    // sleeps until the process ends, which then skips the audio library's teardown
    // (endAtOnceIfAudioThreadLeftRunning()): that would wait for the thread's lock.
    const QDeadlineTimer giveUp(stopGiveUpMs);
    QDeadlineTimer blockedSince = QDeadlineTimer::Forever;
    while (!sharedAudioThread->wait(QDeadlineTimer(50))) {
        if (giveUp.hasExpired()) {
            qCWarning(lcMedia) << "the audio thread did not end in" << stopGiveUpMs << "ms; left running";
            audioThreadGivenUp.store(true);
            return;
        }
        if (callsIntoAudioLibrary.load() == 0) {
            blockedSince = QDeadlineTimer::Forever;
            continue;
        }
        if (blockedSince.isForever())
            blockedSince = QDeadlineTimer(stopWaitMs);
        else if (blockedSince.hasExpired()) {
            qCWarning(lcMedia) << "the audio thread is held up by the sound server; left running";
            audioThreadGivenUp.store(true);
            return;
        }
    }
    delete sharedAudioThread;
    sharedAudioThread = nullptr;
}

// The samples handed to an output. It never reports its end. Qt Multimedia's PulseAudio
// output (6.4), when it runs dry at the end of its source, asks the sound server to drain
// with a callback into itself, and closing the output does not cancel that request: a
// drain that completes once the output is deleted calls into freed memory, from the
// sound server's thread. Whether it completes before or after depends on how late each
// thread runs, so a loaded machine crashed now and then. A source without an end makes
// running dry an underrun, reported as idle without that request; the drain timer then
// waits out the server's buffer as before.
class SampleSource : public QBuffer
{
public:
    using QBuffer::QBuffer;
    bool atEnd() const override { return false; }
};

QAudioFormat formatOf(const DecodedSound &sound, QAudioFormat::SampleFormat sampleFormat)
{
    QAudioFormat format;
    format.setSampleRate(sound.sampleRate);
    format.setChannelCount(sound.channels);
    format.setSampleFormat(sampleFormat);
    return format;
}

QByteArray toFloat(const QByteArray &samples)
{
    const auto *in = reinterpret_cast<const qint16 *>(samples.constData());
    const qsizetype count = samples.size() / qsizetype(sizeof(qint16));
    QByteArray out(count * qsizetype(sizeof(float)), Qt::Uninitialized);
    auto *to = reinterpret_cast<float *>(out.data());
    for (qsizetype i = 0; i < count; ++i)
        to[i] = float(in[i]) / 32768.0f;
    return out;
}

} // namespace

QThread *audioThread()
{
    if (!sharedAudioThread) {
        sharedAudioThread = new QThread;
        sharedAudioThread->setObjectName(QStringLiteral("nihonshib-audio"));
        sharedAudioThread->start();
        qAddPostRoutine(stopAudioThread);
    }
    return sharedAudioThread;
}

bool audioThreadLeftRunning()
{
    return audioThreadGivenUp.load();
}

SoundPlayer::SoundPlayer(QObject *parent)
    : SoundOutput(parent)
    , m_drainTimer(new QTimer(this))
    , m_outputCheck(new QTimer(this))
{
    m_drainTimer->setSingleShot(true);
    connect(m_drainTimer, &QTimer::timeout, this, &SoundPlayer::finish);
    m_outputCheck->setInterval(outputCheckMs);
    connect(m_outputCheck, &QTimer::timeout, this, &SoundPlayer::checkOutput);
}

SoundPlayer::~SoundPlayer()
{
    // Called from the audio thread's event loop, never from inside a report of the sink.
    // The output spins the event loop while it closes: reports still queued for us must
    // find no sink by then.
    m_drainTimer->stop();
    m_outputCheck->stop();
    if (QAudioSink *sink = std::exchange(m_sink, nullptr)) {
        const AudioLibraryCall call;
        sink->disconnect(this);
        sink->stop();
        delete sink;
    }
}

void SoundPlayer::play(quint64 generation, const DecodedSound &sound, QDeadlineTimer startBy)
{
    release();
    m_generation = generation;
    start(sound, startBy);
}

void SoundPlayer::stop()
{
    release();
}

void SoundPlayer::start(const DecodedSound &sound, QDeadlineTimer startBy)
{
    // The sound server's client library divides by a period's worth of frames, which a
    // very slow sound makes zero; the decoder refuses such sounds, and so do we.
    if (sound.sampleRate < minSampleRate || sound.sampleRate > maxSampleRate || sound.channels < 1) {
        emit failed(m_generation, QStringLiteral("サンプリング周波数 %1 Hz の音声は鳴らせません").arg(sound.sampleRate));
        return;
    }
    switch (askSoundServer(startBy)) {
    case SoundServerAnswer::Answers:
        break;
    case SoundServerAnswer::NotThere:
        emit failed(m_generation, QStringLiteral("音声サーバーが動いていないため、音を鳴らしませんでした"));
        return;
    case SoundServerAnswer::Silent:
        emit failed(m_generation, QStringLiteral("音声サーバーが応答しないため、音を鳴らしませんでした"));
        return;
    }
    const AudioLibraryCall call;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        emit failed(m_generation, QStringLiteral("音声の出力装置がありません"));
        return;
    }
    // The file's own rate and channels; the sound server converts to what it plays.
    QAudioFormat format = formatOf(sound, QAudioFormat::Int16);
    QByteArray pcm = sound.samples;
    if (!device.isFormatSupported(format)) {
        format = formatOf(sound, QAudioFormat::Float);
        pcm = toFloat(sound.samples);
    }
    if (!device.isFormatSupported(format)) {
        emit failed(m_generation, QStringLiteral("出力装置 %1 は %2 Hz %3 チャンネルの音声を受け付けません")
                                      .arg(device.description())
                                      .arg(sound.sampleRate)
                                      .arg(sound.channels));
        return;
    }

    // Not a child of ours: a sink finished with is deleted later (see release()).
    auto *sink = new QAudioSink(device, format);
    auto *buffer = new SampleSource(sink);
    buffer->setData(pcm);
    buffer->open(QIODevice::ReadOnly);
    m_sink = sink;
    m_startAnnounced = false;
    // Queued: a report must never reach us while the sink is still inside start(). Reports
    // still queued from a sink already let go are told apart by their generation.
    connect(
        sink, &QAudioSink::stateChanged, this,
        [this, generation = m_generation](QAudio::State state) { onSinkState(generation, state); },
        Qt::QueuedConnection);
    sink->start(buffer);
    if (sink->state() == QAudio::StoppedState || sink->error() != QAudio::NoError) {
        release();
        emit failed(m_generation, QStringLiteral("出力装置 %1 を開けません").arg(device.description()));
        return;
    }
    m_outputCheck->start();
}

void SoundPlayer::onSinkState(quint64 generation, QAudio::State state)
{
    if (!m_sink || generation != m_generation)
        return;
    switch (state) {
    case QAudio::ActiveState:
        m_drainTimer->stop();
        if (!m_startAnnounced) {
            m_startAnnounced = true;
            m_sinceStart.start();
            emit started(m_generation);
        }
        break;
    case QAudio::IdleState: {
        // Everything has gone to the server; let its buffer play out before closing.
        const qint64 bufferedUs = m_sink->format().durationForBytes(int(m_sink->bufferSize()));
        m_drainTimer->start(int(std::max<qint64>(bufferedUs / 1000, 0)) + 50);
        break;
    }
    case QAudio::StoppedState:
        if (m_sink->error() != QAudio::NoError)
            outputStopped();
        break;
    case QAudio::SuspendedState:
        break;
    }
}

void SoundPlayer::checkOutput()
{
    if (!m_sink)
        return;
    // When the sound server ends the stream under a playing sink (its output removed, as
    // when headphones are pulled out), Qt Multimedia (6.4) only logs it: the sink stays
    // active and never reports a change again. Its stream then has no room for anything,
    // which the sink passes on as a negative count of free bytes.
    qsizetype bytesFree = 0;
    {
        const AudioLibraryCall call;
        bytesFree = m_sink->bytesFree();
    }
    if (bytesFree >= 0)
        return;
    outputStopped();
}

void SoundPlayer::outputStopped()
{
    const bool started = m_startAnnounced;
    const qint64 playedMs = started ? m_sinceStart.elapsed() : 0;
    release();
    // The output alone (its device removed) or the whole server (killed, or gone with the
    // session): a server that went away refuses a new client at once.
    const SoundServerAnswer server = askSoundServer(QDeadlineTimer(serverCheckMs));
    const QString cause = server == SoundServerAnswer::NotThere ? QStringLiteral("音声サーバーとの接続が切れました")
                          : server == SoundServerAnswer::Silent ? QStringLiteral("音声サーバーが応答しなくなりました")
                                                                : QStringLiteral("出力装置が止まりました");
    if (!started) {
        emit failed(m_generation, QStringLiteral("%1。音は鳴りませんでした").arg(cause));
        return;
    }
    emit failed(m_generation, QStringLiteral("音は鳴り始めましたが、%1 秒で途切れました: %2")
                                  .arg(QString::number(double(playedMs) / 1000.0, 'f', 1), cause));
}

void SoundPlayer::finish()
{
    release();
    emit finished(m_generation);
}

void SoundPlayer::release()
{
    m_drainTimer->stop();
    m_outputCheck->stop();
    if (!m_sink)
        return;
    QAudioSink *sink = std::exchange(m_sink, nullptr);
    const AudioLibraryCall call;
    sink->disconnect(this);
    sink->stop();
    // Later, not now: we may be inside one of its reports.
    sink->deleteLater();
}
