// Writes a picture decoded, so the program can show it without decoding the original
// at start-up: as an uncompressed BMP of the same pixels and colour table, or, for a
// picture with transparency (OUTPUT.argb), as its bare pixels in the layout Qt draws
// with (premultiplied 32-bit ARGB in this machine's byte order, rows top to bottom,
// no padding), which the program wraps without copying or converting.
//
//   predecode INPUT OUTPUT.bmp|OUTPUT.argb
#include <QFile>
#include <QCoreApplication>
#include <QImage>
#include <QList>

#include <cstdio>

namespace {

bool saveBarePixels(const QImage &picture, const QString &path)
{
    const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QFile file(path);
    if (pixels.isNull() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const qsizetype rowBytes = qsizetype(pixels.width()) * 4;
    for (int y = 0; y < pixels.height(); ++y) {
        if (file.write(reinterpret_cast<const char *>(pixels.constScanLine(y)), rowBytes) != rowBytes)
            return false;
    }
    return file.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: predecode INPUT OUTPUT.bmp|OUTPUT.argb\n");
        return 2;
    }
    // Reading a picture needs the image plug-ins, not a platform: none is loaded, so
    // the toolkit makes no runtime folder of its own in /tmp at build time. Nor an event
    // loop of GLib's, whose dispatcher the sanitizer build would report as a leak.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QImage picture(QString::fromLocal8Bit(argv[1]));
    const QString output = QString::fromLocal8Bit(argv[2]);
    if (output.endsWith(QLatin1String(".argb"))) {
        if (picture.isNull() || !saveBarePixels(picture, output)) {
            std::fprintf(stderr, "predecode: cannot convert %s to %s\n", argv[1], argv[2]);
            return 1;
        }
        return 0;
    }
    // A picture of at most 256 colours keeps them exactly in an 8-bit colour table:
    // a third of the size, and nothing to convert but the table when it is read.
    QList<QRgb> colours;
    for (int y = 0; y < picture.height() && colours.size() <= 256; ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb colour = picture.pixel(x, y);
            if (!colours.contains(colour) && colours.size() <= 256)
                colours.append(colour);
        }
    }
    if (!picture.isNull() && colours.size() <= 256 && picture.format() != QImage::Format_Indexed8)
        picture = picture.convertToFormat(QImage::Format_Indexed8, colours, Qt::ThresholdDither);
    // The resolution the decoded pictures have always carried, 96 dpi, which the
    // minimal platform used to give them.
    picture.setDotsPerMeterX(3780);
    picture.setDotsPerMeterY(3780);
    if (picture.isNull() || !picture.save(output, "BMP")) {
        std::fprintf(stderr, "predecode: cannot convert %s to %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
