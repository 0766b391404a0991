#pragma once

#include <QAbstractEventDispatcher>
#include <QAudioSink>
#include <QBuffer>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QThread>

// Keeps the audio thread opening and closing outputs for busyMs from its next turn, as
// a loaded machine has it at work with the audio library after a test has returned.
inline void keepAudioThreadBusy(QThread *audioThread, int busyMs)
{
    QMetaObject::invokeMethod(
        audioThread->eventDispatcher(),
        [busyMs] {
            QElapsedTimer busy;
            busy.start();
            while (!busy.hasExpired(busyMs)) {
                QByteArray silence(4410 * 2, '\0');
                QBuffer buffer(&silence);
                buffer.open(QIODevice::ReadOnly);
                QAudioFormat format;
                format.setSampleRate(44100);
                format.setChannelCount(1);
                format.setSampleFormat(QAudioFormat::Int16);
                QAudioSink sink(QMediaDevices::defaultAudioOutput(), format);
                sink.start(&buffer);
                sink.stop();
            }
        },
        Qt::QueuedConnection);
}
