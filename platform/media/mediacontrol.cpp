#include "mediacontrol.h"

#include "soundplayer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

bool MediaControl::FileIdentity::operator==(const FileIdentity &other) const
{
    return path == other.path && size == other.size && modified == other.modified
        && metadataChanged == other.metadataChanged;
}

MediaControl::MediaControl(QWidget *parent)
    : QWidget(parent)
{
}

MediaControl::~MediaControl()
{
    // Posted, not done here: the audio thread may be busy with the sound server. A
    // deferred delete (unlike a queued call) is carried out even when the thread is
    // told to stop before it gets to it.
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
        emit error(QStringLiteral("音声ファイルの名前がありません"));
        return;
    }
    // A fresh QFileInfo each time: a cached one would not see the file change.
    const QFileInfo info(m_fileName);
    const QString shownName = QDir::toNativeSeparators(m_fileName);
    if (!info.exists()) {
        emit error(QStringLiteral("%1 がありません").arg(shownName));
        return;
    }
    if (info.isDir()) {
        emit error(QStringLiteral("%1 はフォルダーです").arg(shownName));
        return;
    }
    // Only regular files: opening a pipe of that name would wait for a writer forever.
    if (!info.isFile()) {
        emit error(QStringLiteral("%1 は通常のファイルではありません").arg(shownName));
        return;
    }

    const FileIdentity identity{info.absoluteFilePath(), info.size(), info.lastModified(),
                                info.metadataChangeTime()};
    if (m_open && identity == m_openIdentity)
        return;
    if (identity == m_failedIdentity) {
        emit error(m_failedMessage);
        return;
    }
    load(identity);
}

void MediaControl::load(const FileIdentity &identity)
{
    ++m_readCount;
    QString why;
    std::optional<DecodedSound> sound = decodeSoundFile(identity.path, &why);
    if (!sound) {
        m_failedIdentity = identity;
        m_failedMessage = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(m_fileName), why);
        emit error(m_failedMessage);
        return;
    }
    m_sound = std::move(*sound);
    m_open = true;
    m_openIdentity = identity;
    m_failedIdentity = {};
    m_failedMessage.clear();
    m_atEnd = false;
    ++m_soundGeneration;
}

void MediaControl::rewind()
{
    m_atEnd = false;
    if (!m_playing)
        return;
    m_playing = false;
    ++m_playGeneration;
    SoundPlayer *target = m_player;
    QMetaObject::invokeMethod(target, [target] { target->stop(); }, Qt::QueuedConnection);
}

void MediaControl::play()
{
    if (!m_open) {
        emit error(QStringLiteral("音声ファイルが開かれていません"));
        return;
    }
    // Play while playing starts again; at the end there is nothing left to play until Prev.
    if (m_playing)
        m_atEnd = false;
    if (m_atEnd)
        return;

    m_playing = true;
    m_playingSoundGeneration = m_soundGeneration;
    const quint64 generation = ++m_playGeneration;
    const DecodedSound sound = m_sound;
    const QDeadlineTimer startBy(startWithinMs);
    SoundPlayer *target = player();
    QMetaObject::invokeMethod(
        target, [target, generation, sound, startBy] { target->play(generation, sound, startBy); },
        Qt::QueuedConnection);
}

SoundPlayer *MediaControl::player()
{
    if (!m_player) {
        m_player = new SoundPlayer;
        m_player->moveToThread(audioThread());
        connect(m_player, &SoundPlayer::started, this, &MediaControl::onStarted);
        connect(m_player, &SoundPlayer::finished, this, &MediaControl::onFinished);
        connect(m_player, &SoundPlayer::failed, this, &MediaControl::onFailed);
    }
    return m_player;
}

void MediaControl::onStarted(quint64 generation)
{
    if (generation == m_playGeneration && m_playing)
        emit playStarted();
}

void MediaControl::onFinished(quint64 generation)
{
    if (generation != m_playGeneration || !m_playing)
        return;
    m_playing = false;
    m_atEnd = m_playingSoundGeneration == m_soundGeneration;
    emit playFinished();
}

void MediaControl::onFailed(quint64 generation, const QString &message)
{
    if (generation != m_playGeneration || !m_playing)
        return;
    m_playing = false;
    emit error(message);
}
