// The exam window's pictures on a screen scaled to 200 % (CTest runs this with
// QT_SCALE_FACTOR=2): drawn at twice the pixels, not the 100 % pixels enlarged.
#include "examfixture.h"

#include <QLabel>

class SharpPicturesTest : public ExamWindowFixture
{
    Q_OBJECT

private slots:
    void notEnlarged_data();
    void notEnlarged();
};

void SharpPicturesTest::notEnlarged_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("plain");
    QTest::newRow("図１") << "Picture1" << ":/pictures/figure1.bmp";
    QTest::newRow("red ring") << "pctマル(1)" << ":/pictures/maru.ico";
}

void SharpPicturesTest::notEnlarged()
{
    QFETCH(QString, label);
    QFETCH(QString, plain);
    QCOMPARE(qApp->devicePixelRatio(), 2.0);
    const auto *shown = m_window->findChild<QLabel *>(label);
    QVERIFY(shown);
    const QImage sharp = shown->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage plainImage(plain);
    QCOMPARE(shown->pixmap().deviceIndependentSize(), QSizeF(plainImage.size()));
    QCOMPARE(sharp.size(), plainImage.size() * 2);
    // Each 2×2 block of an enlargement repeats one pixel; a drawing at twice the
    // pixels has edges, strokes and grain within the blocks.
    int blocksWithDetail = 0;
    for (int y = 0; y < sharp.height(); y += 2) {
        for (int x = 0; x < sharp.width(); x += 2) {
            const QRgb corner = sharp.pixel(x, y);
            if (sharp.pixel(x + 1, y) != corner || sharp.pixel(x, y + 1) != corner || sharp.pixel(x + 1, y + 1) != corner)
                ++blocksWithDetail;
        }
    }
    const int blocks = sharp.width() * sharp.height() / 4;
    QVERIFY2(blocksWithDetail > blocks / 20, qPrintable(QStringLiteral("%1 of %2").arg(blocksWithDetail).arg(blocks)));
}

QTEST_MAIN(SharpPicturesTest)
#include "tst_sharppictures.moc"
