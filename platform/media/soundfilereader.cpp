#include "soundfilereader.h"

#include "soundmodule.h"

#include <QCoreApplication>
#include <QThread>

namespace {

QThread *sharedReadingThread = nullptr;
// Set as the application ends: whatever is read then is read for nobody.
std::atomic<bool> readingStopped{false};

void stopReadingThread()
{
    if (!sharedReadingThread)
        return;
    readingStopped = true;
    sharedReadingThread->quit();
    // Only a regular file of bounded size is ever read, and reads still queued fail at
    // once, so this ends within one read.
    sharedReadingThread->wait();
    delete sharedReadingThread;
    sharedReadingThread = nullptr;
}

} // namespace

QThread *readingThread()
{
    if (!sharedReadingThread) {
        readingStopped = false;
        sharedReadingThread = new QThread;
        sharedReadingThread->setObjectName(QStringLiteral("nihonshib-sound-reader"));
        sharedReadingThread->start();
        qAddPostRoutine(stopReadingThread);
    }
    return sharedReadingThread;
}

void SoundFileReader::read(quint64 request, const QString &path)
{
    if (readingStopped)
        m_cancelled = true;
    QString why;
    std::optional<DecodedSound> sound;
    if (m_cancelled)
        why = QStringLiteral("読み込みを取りやめました");
    else if (const SoundModule *module = soundModule(&why))
        sound = module->decode(path, &why, &m_cancelled);
    if (!sound && why.isEmpty())
        why = QStringLiteral("読めません");
    emit finished(request, sound.value_or(DecodedSound()), sound ? QString() : why);
}

void SoundFileReader::cancel()
{
    m_cancelled = true;
}
