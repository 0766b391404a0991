// The RTF reader and bad or large input: the faults it reports, random bytes,
// the documents that once crashed, hung or misread it, and booklet-sized documents.

#include "rtftesting.h"

#include <QDir>
#include <QRandomGenerator>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QList<int> faultCodes(const QList<rtf::Fault> &faults)
{
    QList<int> codes;
    for (const rtf::Fault fault : faults)
        codes.append(int(fault));
    std::sort(codes.begin(), codes.end());
    return codes;
}

QList<int> faultCodes(std::initializer_list<rtf::Fault> faults) { return faultCodes(QList<rtf::Fault>(faults)); }

} // namespace

class TestRtfRobustness : public QObject
{
    Q_OBJECT

private slots:
    void reportsFaults_data();
    void reportsFaults();
    void survivesRandomBytes_data();
    void survivesRandomBytes();
    void reproducesFaultFixtures_data();
    void reproducesFaultFixtures();
    void readsLargeDocuments_data();
    void readsLargeDocuments();
    void stopsAFloodOfParagraphs();
};

void TestRtfRobustness::reportsFaults_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QList<int>>("faults");
    QTest::addColumn<QString>("expected");

    using F = rtf::Fault;
    const auto row = [](const char *name, const QByteArray &rtf, std::initializer_list<rtf::Fault> faults,
                        const QString &expected) { QTest::newRow(name) << rtf << faultCodes(faults) << expected; };
    const QByteArray deepOpen(100000, '{');
    const QByteArray deepClose(100000, '}');
    const QByteArray twentyDigits("99999999999999999999");

    row("clean", R"({\rtf1 abc})", {}, u"abc"_s);
    row("leading blank line", "\r\n{\\rtf1 abc}", {}, u"abc"_s);
    row("missing final brace", "{\\rtf1 abc\\par\r\n", {F::MissingCloseBrace}, u"abc"_s);
    row("missing inner braces", R"({\rtf1{\b{\i abc)", {F::MissingCloseBrace}, u"abc"_s);
    row("extra closing brace", R"({\rtf1 abc}})", {F::ExtraCloseBrace}, u"abc"_s);
    row("cut in a hex escape", R"({\rtf1\ansicpg932 ab\'9)", {F::Truncated, F::MissingCloseBrace}, u"ab"_s);
    row("cut between escaped halves", R"({\rtf1\ansicpg932 ab\'95)", {F::Truncated, F::MissingCloseBrace}, u"ab"_s);
    row("cut in a raw pair", "{\\rtf1\\ansicpg932 ab\x95", {F::Truncated, F::MissingCloseBrace}, u"ab"_s);
    row("cut in a control word", R"({\rtf1 ab\pa)", {F::Truncated, F::MissingCloseBrace}, u"ab"_s);
    row("cut after a backslash", "{\\rtf1 ab\\", {F::Truncated, F::MissingCloseBrace}, u"ab"_s);
    row("cut in binary data", R"({\rtf1 ab{\pict\bin100 xyz)", {F::Truncated, F::MissingCloseBrace}, u"ab"_s);
    row("bad hex escape", R"({\rtf1 a\'zz b})", {F::BadHexEscape}, u"azz b"_s);
    row("100,000 groups deep", "{\\rtf1 " + deepOpen + "deep" + deepClose + "}", {F::TooDeep}, u"deep"_s);
    row("100,000 groups deep, never closed", "{\\rtf1 " + deepOpen + "deep", {F::TooDeep, F::MissingCloseBrace},
        u"deep"_s);
    row("20-digit font size", "{\\rtf1 a\\fs" + twentyDigits + " b}", {F::BadParameter}, u"ab"_s);
    row("20-digit negative parameter", "{\\rtf1 a\\li-" + twentyDigits + " b}", {F::BadParameter}, u"ab"_s);
    row("20-digit unicode", "{\\rtf1 a\\u" + twentyDigits + "?b}", {F::BadParameter}, u"a\ufffdb"_s);
    row("20-digit binary length", "{\\rtf1 a\\bin" + twentyDigits + " b}",
        {F::BadParameter, F::Truncated, F::MissingCloseBrace}, u"a"_s);
    row("plain text", "Hello, world", {F::NotRtf}, QString());
    row("empty", QByteArray(), {F::NotRtf}, QString());
    row("HTML", "<html><body>{\\rtf1}</body></html>", {F::NotRtf}, QString());
    row("cut in the signature", "{\\rt", {F::NotRtf}, QString());
}

void TestRtfRobustness::reportsFaults()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QList<int>, faults);
    QFETCH(QString, expected);

    rtf::ReadResult result;
    QCOMPARE(textOf(rtf, &result), expected);
    QCOMPARE(faultCodes(result.faults), faults);
    QCOMPARE(result.isRtf, !faults.contains(int(rtf::Fault::NotRtf)));
    QCOMPARE(result.message.isEmpty(), faults.isEmpty());
}

void TestRtfRobustness::survivesRandomBytes_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("rtfLike");

    for (quint32 seed : {1u, 2u, 3u, 932u, 20240401u}) {
        QTest::addRow("noise, seed %u", seed) << seed << false;
        QTest::addRow("RTF pieces, seed %u", seed) << seed << true;
    }
}

void TestRtfRobustness::survivesRandomBytes()
{
    QFETCH(quint32, seed);
    QFETCH(bool, rtfLike);

    // Pieces that steer the reader into its less travelled paths.
    static const QList<QByteArray> pieces = {
        "{", "}", "\\", "\\'", "\\'9", "\\'95", "\\\\", "\\{", "\\}", "\\u", "\\u-", "\\uc", "\\uc2", "\\bin",
        "\\bin3 ", "\\*", "{\\*", "\\par", "\\f", "\\fs", "\\cf", "\\ul", "\\fonttbl", "\\colortbl", "\\red",
        "\\fcharset128 ", "\\ansicpg932", "\\pict", "\\upr", "\\ud", ";", "\x95", "\x82\xa0", "\r\n", " ",
        "9999999999", "-", "a",
    };
    QRandomGenerator random(seed);
    for (int round = 0; round < 20; ++round) {
        QByteArray bytes = rtfLike ? QByteArray("{\\rtf1") : QByteArray();
        for (int i = 0; i < 400; ++i) {
            if (rtfLike)
                bytes += pieces.at(int(random.bounded(quint32(pieces.size()))));
            else
                bytes += char(random.bounded(256));
        }
        rtf::ReadResult result;
        textOf(bytes, &result);
        QCOMPARE(result.isRtf, bytes.startsWith("{\\rtf"));
        QCOMPARE(result.message.isEmpty(), result.faults.isEmpty());
    }
}

void TestRtfRobustness::reproducesFaultFixtures_data()
{
    QTest::addColumn<QString>("path");

    const QDir faults(fixturePath(QStringLiteral("faults")));
    const QStringList names = faults.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
    if (names.isEmpty())
        QTest::newRow("none") << QString();
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << faults.filePath(name);
}

void TestRtfRobustness::reproducesFaultFixtures()
{
    QFETCH(QString, path);
    if (path.isEmpty())
        QSKIP("no fault fixtures");

    // Each fixture once crashed, hung or misread; its .txt holds what the
    // viewer must show for it.
    rtf::ReadResult result;
    const QString text = textOf(readFile(path), &result);
    QVERIFY(result.isRtf);
    QString expectedPath = path;
    expectedPath.replace(QLatin1String(".rtf"), QLatin1String(".txt"));
    QCOMPARE(text, normalisedText(QString::fromUtf8(readFile(expectedPath))));
}

void TestRtfRobustness::readsLargeDocuments_data()
{
    QTest::addColumn<QByteArray>("rtf");

    // A question booklet's worth of paragraphs the way a Japanese word
    // processor writes them: every character an escape, formats switching.
    QByteArray booklet = japaneseHeader;
    while (booklet.size() < 120 * 1024) {
        booklet += R"(\pard\plain\f0\fs21 \'96\'e2\'91\'e8 1\tab \'93\'fa\'96\'7b\'8e\'6a\'82\'cc)"
                   R"({\cf2\ul \'90\'b3\'89\'f0}\'82\'f0 {\b \'87\'40}\'81\'60{\i \'87\'54}\par)"
                   "\r\n";
    }
    booklet += "}";
    QTest::newRow("120 KB generated booklet") << booklet;

    const QDir shipped(QStringLiteral(SOURCE_DIR "/resources/documents"));
    for (const QString &name : shipped.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(name)) << readFile(shipped.filePath(name));
}

void TestRtfRobustness::readsLargeDocuments()
{
    QFETCH(QByteArray, rtf);

    // How fast is bench-rtf's concern; here only that every paragraph arrives.
    QTextDocument document;
    const rtf::ReadResult result = rtf::read(rtf, &document);
    QVERIFY2(result.ok(), qPrintable(result.message));
    QVERIFY(document.blockCount() > 10);
}

// A million paragraphs would cost the document gigabytes: the reader stops early,
// keeps what it read, and says the rest is missing.
void TestRtfRobustness::stopsAFloodOfParagraphs()
{
    const int paragraphs = 1000000;
    QByteArray rtf = "{\\rtf1 ";
    for (int i = 0; i < paragraphs; ++i)
        rtf += "x\\par ";
    rtf += "}";

    rtf::ReadResult result;
    const QString text = textOf(rtf, &result);
    QCOMPARE(faultCodes(result.faults), faultCodes({rtf::Fault::TooLong}));
    QVERIFY(result.message.contains(QLatin1String("the rest was not read")));
    QVERIFY(text.size() > 1000);
    QVERIFY(text.size() < 2 * paragraphs - 1);
    QCOMPARE(text, QString(u"x\n"_s).repeated(text.size() / 2 + 1).left(text.size()));
}

QTEST_MAIN(TestRtfRobustness)
#include "tst_rtfrobustness.moc"
