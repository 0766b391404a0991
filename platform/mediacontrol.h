#pragma once

#include <QString>
#include <QWidget>

// The media device that plays the time-up sound: it takes a wave file's name and the
// commands "Open", "Prev" (back to the start) and "Play". It sits hidden in its window.
// A missing or unreadable file, or no audio device, never stops the program: the
// command is dropped and error() says why.
class MediaControl : public QWidget
{
    Q_OBJECT

public:
    explicit MediaControl(QWidget *parent = nullptr);
    ~MediaControl() override;

    void setFileName(const QString &fileName);
    QString fileName() const;

    // "Open", "Prev" or "Play"; any other command is ignored.
    void setCommand(const QString &command);

    bool isOpen() const;

signals:
    void playStarted();
    void error(const QString &message);
};
