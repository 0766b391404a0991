// Writes a picture decoded, as an uncompressed BMP of the same pixels and colour
// table, so the program can show it without decoding the original at start-up.
//
//   predecode INPUT OUTPUT.bmp
#include <QGuiApplication>
#include <QImage>
#include <QList>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: predecode INPUT OUTPUT.bmp\n");
        return 2;
    }
    // Reading a picture needs the image plug-ins, not a display.
    qputenv("QT_QPA_PLATFORM", "minimal");
    QGuiApplication app(argc, argv);
    QImage picture(QString::fromLocal8Bit(argv[1]));
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
    if (picture.isNull() || !picture.save(QString::fromLocal8Bit(argv[2]), "BMP")) {
        std::fprintf(stderr, "predecode: cannot convert %s to %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
