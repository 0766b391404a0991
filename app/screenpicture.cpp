#include "screenpicture.h"

#include <QGuiApplication>

QPixmap screenPicture(const QString &plain, const QString &doubled)
{
    if (qApp->devicePixelRatio() > 1.0) {
        QPixmap sharp(doubled);
        if (!sharp.isNull()) {
            sharp.setDevicePixelRatio(2.0);
            return sharp;
        }
    }
    return QPixmap(plain);
}

ScreenPictureLabel::ScreenPictureLabel(const QString &plain, const QString &doubled, QWidget *parent)
    : QLabel(parent), m_plain(plain), m_doubled(doubled)
{
}

void ScreenPictureLabel::showEvent(QShowEvent *event)
{
    if (!m_plain.isEmpty()) {
        setPixmap(screenPicture(m_plain, m_doubled));
        m_plain.clear();
    }
    QLabel::showEvent(event);
}
