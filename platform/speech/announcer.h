#pragma once

#include <QString>
#include <QWidget>

// Has a screen reader speak a short message while the focus stays where it is, as
// a notification: the toolkit offers no announcement of its own. The announcer is a
// widget that is never shown, so nothing changes on the screen; assistive technology
// sees a notification, named by the message, that appears each time one is made.
class Announcer : public QWidget
{
    Q_OBJECT

public:
    explicit Announcer(QWidget *parent);

    void announce(const QString &message);
    // The last message announced.
    QString message() const { return m_message; }

signals:
    void announced(const QString &message);

private:
    QString m_message;
};
