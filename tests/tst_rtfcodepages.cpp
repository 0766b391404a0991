// The reader's code-page decoding when a document switches among many code
// pages: the text stays right and only a handful of converters stay open.

#include "codepagedecoder.h"
#include "rtfreader.h"

#include <QTextDocument>
#include <QtTest>

using rtf::detail::CodePageDecoder;

class TestRtfCodePages : public QObject
{
    Q_OBJECT

private slots:
    void fewConvertersOpen_data();
    void fewConvertersOpen();
    void documentSwitchingCodePages();
};

void TestRtfCodePages::fewConvertersOpen_data()
{
    QTest::addColumn<QList<int>>("codePages");
    QList<int> windows;
    for (int page = 1250; page <= 1258; ++page)
        windows << page;
    QList<int> unknown;
    for (int page = 40000; page < 43000; page += 7)
        unknown << page;
    QTest::newRow("the nine Windows pages, twice") << windows + windows;
    QTest::newRow("East Asian and DOS pages") << QList<int>{936, 949, 950, 1361, 437, 850, 866, 874, 10000};
    QTest::newRow("hundreds of pages iconv does not know") << unknown;
}

// Between the switches, text in the pages used first still decodes right
// after their converters have been closed.
void TestRtfCodePages::fewConvertersOpen()
{
    QFETCH(QList<int>, codePages);
    CodePageDecoder decoder;
    for (int round = 0; round < 2; ++round) {
        decoder.hold(QByteArrayView("\x82\xa0\x93\xfa", 4));
        QCOMPARE(decoder.take(932), QStringLiteral("あ日"));
        decoder.hold(char(0xe9));
        QCOMPARE(decoder.take(1251), QStringLiteral("й"));
        for (int page : std::as_const(codePages)) {
            decoder.hold("x");
            QCOMPARE(decoder.take(page), QStringLiteral("x"));
            QVERIFY2(decoder.openConverters() <= 4, qPrintable(QString::number(decoder.openConverters())));
        }
    }
    decoder.hold(char(0xe9));
    QCOMPARE(decoder.take(31337), QStringLiteral("é")); // unknown: Windows Latin 1
}

void TestRtfCodePages::documentSwitchingCodePages()
{
    QByteArray rtf = R"({\rtf1\ansi\ansicpg932\deff0{\fonttbl{\f0\fnil\fcharset128 Gothic;}})";
    for (int page = 1; page <= 3000; ++page)
        rtf += R"({\cpg)" + QByteArray::number(page) + R"( \'e9})";
    rtf += R"(\par \'93\'fa\'96\'7b})";

    QTextDocument document;
    rtf::read(rtf, &document);
    const QString text = rtf::plainText(&document);
    QCOMPARE(text.size(), 3000 + 1 + 2);
    QCOMPARE(text.sliced(1251 - 1, 1), QStringLiteral("й"));
    QCOMPARE(text.sliced(1253 - 1, 1), QStringLiteral("ι"));
    QVERIFY(text.endsWith(QStringLiteral("\n日本")));
}

QTEST_MAIN(TestRtfCodePages)
#include "tst_rtfcodepages.moc"
