#include "appicon.h"

#include <QImage>
#include <QPixmap>
#include <QResource>

namespace {

// One size of the icon, from its pixels as decoded when the program was built (square,
// premultiplied 32-bit ARGB, stored uncompressed), or from its PNG should those be
// missing or of another size.
QPixmap iconPixmap(int size)
{
    const QResource pixels(QStringLiteral(":/icons/app-%1.argb").arg(size));
    const qint64 bytes = qint64(size) * size * 4;
    if (pixels.isValid() && pixels.compressionAlgorithm() == QResource::NoCompression
        && pixels.size() == bytes) {
        // The resource lives as long as the program: the image wraps it as it is.
        const QImage image(pixels.data(), size, size, size * 4, QImage::Format_ARGB32_Premultiplied);
        return QPixmap::fromImage(image);
    }
    return QPixmap(QStringLiteral(":/icons/app-%1.png").arg(size));
}

} // namespace

QIcon applicationIcon()
{
    // Built once: the program, the exam window and each secondary window all ask for it.
    static const QIcon icon = [] {
        QIcon sizes;
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            sizes.addPixmap(iconPixmap(size));
        return sizes;
    }();
    return icon;
}
