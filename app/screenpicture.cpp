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
