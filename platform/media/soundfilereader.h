#pragma once

#include "decodedsound.h"

#include <QObject>
#include <QString>

#include <atomic>

class QThread;

// Reads and decodes sound files in the reading thread (readingThread()), so that a
// large file never holds up the window; the first read loads the sound module, which
// decodes them. Its owner posts it read() and hears back through finished(), tagged
// with the request number it gave.
class SoundFileReader : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // In the reading thread.
    void read(quint64 request, const QString &path);
    // From any thread: the read under way stops, and later ones fail at once.
    void cancel();

signals:
    // On success why is empty and sound holds the samples; otherwise why says what went wrong.
    void finished(quint64 request, const DecodedSound &sound, const QString &why);

private:
    std::atomic<bool> m_cancelled{false};
};

// The one thread that decodes sound files, shared by every SoundFileReader. It is
// started by the first call (from the user-interface thread); when the application
// object goes, reads under way are cut short and the thread is joined.
QThread *readingThread();
