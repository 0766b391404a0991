#include "mediacontrol.h"

#include "medialogging.h"
#include "soundfilereader.h"
#include "soundmodule.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <climits>

bool MediaControl::FileIdentity::operator==(const FileIdentity &other) const
{
    return path == other.path && size == other.size && modified == other.modified
        && metadataChanged == other.metadataChanged;
}

MediaControl::MediaControl(QWidget *parent)
    : QWidget(parent)
    , m_nextReadTimer(new QTimer(this))
    , m_answerTimer(new QTimer(this))
{
    m_answerTimer->setSingleShot(true);
    connect(m_answerTimer, &QTimer::timeout, this, &MediaControl::onNoAnswer);
    m_nextReadTimer->setSingleShot(true);
    // Never early: a coarse timer may fire a little before its time.
    m_nextReadTimer->setTimerType(Qt::PreciseTimer);
    connect(m_nextReadTimer, &QTimer::timeout, this, [this] {
        open();
        settleWaitingPlay();
    });
}

MediaControl::~MediaControl()
{
    // Posted, not done here: the reading thread may be in the middle of a file and the
    // audio thread busy with the sound server. A deferred delete (unlike a queued call)
    // is carried out even when the thread is told to stop before it gets to it.
    if (m_reader) {
        m_reader->cancel();
        m_reader->deleteLater();
    }
    if (m_player)
        m_player->deleteLater();
}

void MediaControl::setFileName(const QString &fileName)
{
    m_fileName = fileName;
}

void MediaControl::setCommand(const QString &command)
{
    const QString name = command.trimmed();
    if (name.compare(QLatin1String("Open"), Qt::CaseInsensitive) == 0)
        open();
    else if (name.compare(QLatin1String("Prev"), Qt::CaseInsensitive) == 0)
        rewind();
    else if (name.compare(QLatin1String("Play"), Qt::CaseInsensitive) == 0)
        play();
}

bool MediaControl::isOpen() const
{
    return m_open;
}

bool MediaControl::isPlaying() const
{
    return m_playing;
}

bool MediaControl::isReading() const
{
    return m_readingIdentity.has_value() || m_nextReadTimer->isActive();
}

const DecodedSound &MediaControl::sound() const
{
    return m_sound;
}

int MediaControl::readCount() const
{
    return m_readCount;
}

void MediaControl::open()
{
    if (m_fileName.isEmpty()) {
        refuseOpen(QStringLiteral("音声ファイルの名前がありません"));
        return;
    }
    // A fresh QFileInfo each time: a cached one would not see the file change.
    const QFileInfo info(m_fileName);
    const QString shownName = QDir::toNativeSeparators(m_fileName);
    if (!info.exists()) {
        refuseOpen(QStringLiteral("%1 がありません").arg(shownName));
        return;
    }
    if (info.isDir()) {
        refuseOpen(QStringLiteral("%1 はフォルダーです").arg(shownName));
        return;
    }
    // Only regular files: opening a pipe of that name would wait for a writer forever.
    if (!info.isFile()) {
        refuseOpen(QStringLiteral("%1 は通常のファイルではありません").arg(shownName));
        return;
    }

    const FileIdentity identity{info.absoluteFilePath(), info.size(), info.lastModified(),
                                info.metadataChangeTime()};
    if (m_readingIdentity) {
        m_lookAgain = m_lookAgain || identity != *m_readingIdentity;
        return;
    }
    if (m_open && identity == m_openIdentity)
        return;
    if (identity == m_failedIdentity) {
        refuseOpen(m_failedMessage);
        return;
    }
    // A file that keeps changing is read at most once an interval.
    if (m_lastReadStarted.isValid() && !m_lastReadStarted.hasExpired(readIntervalMs)) {
        readAgainLater();
        return;
    }
    startReading(identity);
}

void MediaControl::startReading(const FileIdentity &identity)
{
    m_nextReadTimer->stop();
    ++m_readCount;
    m_readingIdentity = identity;
    m_lookAgain = false;
    m_lastReadStarted.start();
    if (!m_reader) {
        m_reader = new SoundFileReader;
        m_reader->moveToThread(readingThread());
        connect(m_reader, &SoundFileReader::finished, this, &MediaControl::onRead);
    }
    SoundFileReader *reader = m_reader;
    const quint64 request = ++m_readRequest;
    const QString path = identity.path;
    qCDebug(lcMedia) << "reading" << path;
    QMetaObject::invokeMethod(reader, [reader, request, path] { reader->read(request, path); }, Qt::QueuedConnection);
}

void MediaControl::readAgainLater()
{
    if (m_nextReadTimer->isActive())
        return;
    const qint64 since = m_lastReadStarted.isValid() ? m_lastReadStarted.elapsed() : readIntervalMs;
    m_nextReadTimer->start(int(std::clamp<qint64>(readIntervalMs - since, 0, readIntervalMs)));
}

void MediaControl::onRead(quint64 request, const DecodedSound &sound, const QString &why)
{
    if (request != m_readRequest || !m_readingIdentity)
        return;
    const FileIdentity identity = *m_readingIdentity;
    m_readingIdentity.reset();
    if (!why.isEmpty()) {
        m_failedIdentity = identity;
        m_failedMessage = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(identity.path), why);
        refuseOpen(m_failedMessage);
    } else {
        m_sound = sound;
        m_open = true;
        m_openIdentity = identity;
        m_failedIdentity = {};
        m_failedMessage.clear();
        m_openFailure.clear();
        m_atEnd = false;
        ++m_soundGeneration;
        qCDebug(lcMedia) << "opened" << identity.path << sound.sampleRate << "Hz" << sound.channels << "channels"
                         << sound.durationMs() << "ms";
        emit opened();
    }
    if (m_lookAgain) {
        m_lookAgain = false;
        readAgainLater();
    }
    settleWaitingPlay();
}

void MediaControl::rewind()
{
    m_atEnd = false;
    m_playWaitsForRead = false;
    if (m_playing)
        stopPlaying();
}

// The playing sound stopped in the audio thread; whatever it says of it later is not heard.
void MediaControl::stopPlaying()
{
    m_playing = false;
    m_answerTimer->stop();
    ++m_playGeneration;
    if (SoundOutput *target = m_player)
        QMetaObject::invokeMethod(target, [target] { target->stop(); }, Qt::QueuedConnection);
}

void MediaControl::play()
{
    if (!m_open && !isReading()) {
        reportNotOpen();
        return;
    }
    // Play while playing starts again; at the end there is nothing left to play until Prev.
    if (m_playing)
        m_atEnd = false;
    if (m_atEnd)
        return;

    m_playing = true;
    m_answerTimer->stop();
    const QDeadlineTimer startBy(startWithinMs);
    if (isReading()) {
        // The file changed or has not been read yet: play what the read brings.
        ++m_playGeneration;
        m_playWaitsForRead = true;
        m_playStartBy = startBy;
        return;
    }
    startPlaying(startBy);
}

void MediaControl::settleWaitingPlay()
{
    if (!m_playWaitsForRead || isReading())
        return;
    m_playWaitsForRead = false;
    if (!m_open) {
        m_playing = false;
        reportNotOpen();
        return;
    }
    if (m_playStartBy.hasExpired()) {
        m_playing = false;
        report(QStringLiteral("音声ファイルの読み込みが間に合わず、音を鳴らしませんでした"));
        return;
    }
    startPlaying(m_playStartBy);
}

void MediaControl::startPlaying(QDeadlineTimer startBy)
{
    m_playingSoundGeneration = m_soundGeneration;
    const quint64 generation = ++m_playGeneration;
    const DecodedSound sound = m_sound;
    SoundOutput *target = player();
    if (!target) {
        m_playing = false;
        report(QStringLiteral("音声モジュールが読み込まれていません"));
        return;
    }
    QMetaObject::invokeMethod(
        target, [target, generation, sound, startBy] { target->play(generation, sound, startBy); },
        Qt::QueuedConnection);
    m_playStarted = false;
    m_playingDurationMs = sound.durationMs();
    m_answerTimer->start(int(std::max<qint64>(startBy.remainingTime(), 0)) + answerMarginMs);
}

SoundOutput *MediaControl::player()
{
    // A sound is open, so the read that opened it has loaded the module.
    const SoundModule *module = loadedSoundModule();
    if (!m_player && module) {
        m_player = module->newOutput(
            this, {[this](quint64 generation) { onStarted(generation); },
                   [this](quint64 generation) { onFinished(generation); },
                   [this](quint64 generation, const QString &message) { onFailed(generation, message); }});
    }
    return m_player;
}

void MediaControl::onStarted(quint64 generation)
{
    if (generation != m_playGeneration || !m_playing)
        return;
    m_playStarted = true;
    m_answerTimer->start(int(std::min<qint64>(m_playingDurationMs, INT_MAX - answerMarginMs)) + answerMarginMs);
    emit playStarted();
}

void MediaControl::onFinished(quint64 generation)
{
    if (generation != m_playGeneration || !m_playing)
        return;
    m_playing = false;
    m_answerTimer->stop();
    m_atEnd = m_playingSoundGeneration == m_soundGeneration;
    emit playFinished();
}

void MediaControl::onFailed(quint64 generation, const QString &message)
{
    if (generation != m_playGeneration || !m_playing)
        return;
    m_playing = false;
    m_answerTimer->stop();
    report(message);
}

// No word from the audio thread, which may be held inside the audio library by a server
// that stopped answering: the sound is given up, and whatever the output says later about
// it is not heard. Stopping it lets a server that comes back stop playing it.
void MediaControl::onNoAnswer()
{
    if (!m_playing)
        return;
    stopPlaying();
    if (!m_playStarted) {
        report(QStringLiteral("音声サーバーが応答しないため、音を鳴らしませんでした"));
        return;
    }
    const auto seconds = [](qint64 ms) { return QString::number(double(ms) / 1000.0, 'f', 1); };
    report(QStringLiteral("音は鳴り始めましたが、音声サーバーが応答しなくなりました（%1 秒の音が %2 秒たっても鳴り終わりません）")
               .arg(seconds(m_playingDurationMs), seconds(m_playingDurationMs + answerMarginMs)));
}

// Why the file is not open, kept for Play: told again then, and so logged once only.
void MediaControl::refuseOpen(const QString &message)
{
    m_openFailure = message;
    report(message);
}

void MediaControl::reportNotOpen()
{
    report(m_openFailure.isEmpty() ? QStringLiteral("音声ファイルが開かれていません") : m_openFailure);
}

void MediaControl::report(const QString &message)
{
    if (message != m_lastReported) {
        m_lastReported = message;
        qCWarning(lcMedia).noquote() << message;
    }
    emit error(message);
}
