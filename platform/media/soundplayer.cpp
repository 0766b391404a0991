#include "soundplayer.h"

#include "soundserverprobe.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

// How long the application's end waits for the audio thread to finish.
constexpr int stopWaitMs = 500;

QThread *sharedAudioThread = nullptr;

void stopAudioThread()
{
    if (!sharedAudioThread)
        return;
    cancelSoundServerQuestions();
    sharedAudioThread->quit();
    // Still stuck inside the audio library on a sound server that stopped answering after
    // it was asked: the thread keeps its QThread (reachable through sharedAudioThread)
    // and ends with the process.
    if (!sharedAudioThread->wait(QDeadlineTimer(stopWaitMs)))
        return;
    delete sharedAudioThread;
    sharedAudioThread = nullptr;
}

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

SoundPlayer::SoundPlayer(QObject *parent)
    : QObject(parent)
    , m_drainTimer(new QTimer(this))
{
    m_drainTimer->setSingleShot(true);
    connect(m_drainTimer, &QTimer::timeout, this, &SoundPlayer::finish);
}

SoundPlayer::~SoundPlayer()
{
    // Called from the audio thread's event loop, never from inside a report of the sink.
    if (m_sink) {
        m_sink->disconnect(this);
        m_sink->stop();
        delete m_sink;
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
    if (!soundServerAnswers(startBy)) {
        emit failed(m_generation, QStringLiteral("音声サーバーが応答しないため、音を鳴らしませんでした"));
        return;
    }
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
    auto *buffer = new QBuffer(sink);
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
    }
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
        if (m_sink->error() != QAudio::NoError) {
            release();
            emit failed(m_generation, QStringLiteral("再生中に出力装置が止まりました"));
        }
        break;
    case QAudio::SuspendedState:
        break;
    }
}

void SoundPlayer::finish()
{
    release();
    emit finished(m_generation);
}

void SoundPlayer::release()
{
    m_drainTimer->stop();
    if (!m_sink)
        return;
    QAudioSink *sink = std::exchange(m_sink, nullptr);
    sink->disconnect(this);
    sink->stop();
    // Later, not now: we may be inside one of its reports.
    sink->deleteLater();
}
