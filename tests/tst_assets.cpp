// The pictures and icons, and the time-up sound, decoded as the program loads them.
#include "appicon.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QtEndian>
#include <QtTest>

#include <algorithm>

namespace {

bool isRed(QRgb pixel)
{
    return qAlpha(pixel) >= 200 && qRed(pixel) >= 180 && qGreen(pixel) <= 80 && qBlue(pixel) <= 80;
}

bool cornersAreClear(const QImage &image)
{
    const int right = image.width() - 1;
    const int bottom = image.height() - 1;
    for (const QPoint corner : {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom)}) {
        if (qAlpha(image.pixel(corner)) != 0)
            return false;
    }
    return true;
}

} // namespace

class AssetsTest : public QObject
{
    Q_OBJECT

private slots:
    void pictureDecodes_data();
    void pictureDecodes();
    void decodedPictureIsTheOriginal_data();
    void decodedPictureIsTheOriginal();
    void correctMarkIsARedRing();
    void appIconIsARedRingOnTransparency_data();
    void appIconIsARedRingOnTransparency();
    void iconFileHoldsEverySize();
    void windowIconIsTheShippedIcon_data();
    void windowIconIsTheShippedIcon();
    void timeUpSound();
};

void AssetsTest::pictureDecodes_data()
{
    QTest::addColumn<QString>("resource");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("size");
    QTest::newRow("background") << ":/pictures/background.gif" << QByteArray("gif") << QSize(794, 567);
    QTest::newRow("correct mark") << ":/pictures/maru.ico" << QByteArray("ico") << QSize(32, 32);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        QTest::addRow("icon %d", size) << QStringLiteral(":/icons/app-%1.png").arg(size) << QByteArray("png")
                                       << QSize(size, size);
}

void AssetsTest::pictureDecodes()
{
    QFETCH(QString, resource);
    QFETCH(QByteArray, format);
    QFETCH(QSize, size);
    QImageReader reader(resource);
    QCOMPARE(reader.format(), format);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), size);
}

// The exam window shows copies decoded when the program was built: pixel for pixel
// the pictures themselves.
void AssetsTest::decodedPictureIsTheOriginal_data()
{
    QTest::addColumn<QString>("original");
    QTest::addColumn<QString>("decoded");
    QTest::newRow("background") << ":/pictures/background.gif" << ":/pictures/background.bmp";
    QTest::newRow("figure") << ":/pictures/figure1.jpg" << ":/pictures/figure1.bmp";
}

void AssetsTest::decodedPictureIsTheOriginal()
{
    QFETCH(QString, original);
    QFETCH(QString, decoded);
    const QImage expected = QImage(original).convertToFormat(QImage::Format_RGB32);
    QVERIFY(!expected.isNull());
    QCOMPARE(QImage(decoded).convertToFormat(QImage::Format_RGB32), expected);
}

// The windows' icon is built from pixels decoded when the program was built: each
// size is its PNG to the pixel as a window shows it (premultiplied), transparency included.
void AssetsTest::windowIconIsTheShippedIcon_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        QTest::addRow("%d px", size) << size;
}

void AssetsTest::windowIconIsTheShippedIcon()
{
    QFETCH(int, size);
    const QIcon icon = applicationIcon();
    QVERIFY(icon.availableSizes().contains(QSize(size, size)));
    const QImage shipped = QPixmap(QStringLiteral(":/icons/app-%1.png").arg(size)).toImage();
    QVERIFY(!shipped.isNull());
    QCOMPARE(icon.pixmap(QSize(size, size)).toImage().convertToFormat(shipped.format()), shipped);
}

void AssetsTest::correctMarkIsARedRing()
{
    const QImage image = QImage(QStringLiteral(":/pictures/maru.ico")).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(cornersAreClear(image));
    QCOMPARE(qAlpha(image.pixel(16, 16)), 0);
    // Across the middle: transparent, red ring, transparent hole, red ring, transparent.
    QString profile;
    for (int x = 0; x < 32; ++x) {
        const QRgb pixel = image.pixel(x, 16);
        const QChar kind = isRed(pixel) ? QLatin1Char('R') : qAlpha(pixel) == 0 ? QLatin1Char('.') : QLatin1Char('~');
        if (kind != QLatin1Char('~') && !profile.endsWith(kind))
            profile += kind;
    }
    QCOMPARE(profile, QStringLiteral(".R.R."));
}

void AssetsTest::appIconIsARedRingOnTransparency_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        QTest::addRow("%d px", size) << size;
}

void AssetsTest::appIconIsARedRingOnTransparency()
{
    QFETCH(int, size);
    const QImage image = QImage(QStringLiteral(":/icons/app-%1.png").arg(size)).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(cornersAreClear(image));

    // Coming down the middle column, the first solid pixel is the ring, near the top.
    int ringTop = 0;
    while (ringTop < size && qAlpha(image.pixel(size / 2, ringTop)) < 200)
        ++ringTop;
    QVERIFY(ringTop <= size / 8);
    QVERIFY(isRed(image.pixel(size / 2, ringTop)));

    // Inside the ring stands the character: red, and with transparency around its strokes.
    int redInside = 0;
    int clearInside = 0;
    for (int y = size / 4; y < size * 3 / 4; ++y) {
        for (int x = size / 4; x < size * 3 / 4; ++x) {
            redInside += isRed(image.pixel(x, y));
            clearInside += qAlpha(image.pixel(x, y)) == 0;
        }
    }
    QVERIFY(redInside > size * size / 40);
    QVERIFY(clearInside > 0 || size == 16);
}

void AssetsTest::iconFileHoldsEverySize()
{
    QImageReader reader(QStringLiteral(":/pictures/nihonshib.ico"));
    QCOMPARE(reader.format(), QByteArray("ico"));
    QList<int> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.width(), image.height());
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        sizes << image.width();
    }
    std::sort(sizes.begin(), sizes.end());
    QCOMPARE(sizes, (QList<int>{16, 32, 48, 256}));
}

// Read from the source tree: the sound sits beside the program, not inside it.
void AssetsTest::timeUpSound()
{
    QFile file(QStringLiteral(SOURCE_DIR "/resources/" NIHONSHIB_TIME_UP_SOUND));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray wav = file.readAll();
    const auto le16 = [&wav](qsizetype at) { return qFromLittleEndian<quint16>(wav.constData() + at); };
    const auto le32 = [&wav](qsizetype at) { return qFromLittleEndian<quint32>(wav.constData() + at); };
    QVERIFY(wav.size() > 44);
    QVERIFY(wav.startsWith("RIFF") && wav.mid(8, 4) == "WAVE");
    QCOMPARE(le32(4), quint32(wav.size() - 8));

    int channels = 0;
    quint32 rate = 0;
    int bits = 0;
    qsizetype dataAt = 0;
    qsizetype dataBytes = 0;
    for (qsizetype at = 12; at + 8 <= wav.size();) {
        const qsizetype length = le32(at + 4);
        QVERIFY(at + 8 + length <= wav.size());
        if (wav.mid(at, 4) == "fmt ") {
            QCOMPARE(le16(at + 8), quint16(1)); // PCM
            channels = le16(at + 10);
            rate = le32(at + 12);
            bits = le16(at + 22);
        } else if (wav.mid(at, 4) == "data") {
            dataAt = at + 8;
            dataBytes = length;
        }
        at += 8 + length + (length & 1);
    }
    QCOMPARE(bits, 16);
    QVERIFY(channels == 1 || channels == 2);
    QCOMPARE(rate, quint32(44100));
    QVERIFY(dataBytes > 0);
    const double seconds = double(dataBytes) / (2 * channels * rate);
    QVERIFY2(seconds >= 1.0 && seconds <= 2.0, qPrintable(QString::number(seconds)));

    // It starts and ends at silence, so it neither clicks on nor clicks off.
    const auto level = [&](qsizetype sample) { return qAbs(int(qint16(le16(dataAt + 2 * sample)))); };
    const qsizetype count = dataBytes / 2;
    QVERIFY(level(0) < 64);
    QVERIFY(level(count - 1) < 64);
    int peak = 0;
    for (qsizetype i = 0; i < count; ++i)
        peak = qMax(peak, level(i));
    QVERIFY2(peak > 8000 && peak < 32767, qPrintable(QString::number(peak)));
}

QTEST_MAIN(AssetsTest)
#include "tst_assets.moc"
