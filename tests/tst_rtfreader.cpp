// The RTF reader: code page 932 text, Unicode escapes, formatting, the
// red/underlined runs, documents written by other programs, and bad input.

#include "fontmap.h"
#include "rtfreader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QRandomGenerator>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// The way a Japanese word processor opens a document: code page 932, a
// mincho and a gothic font with hex-escaped names, red at index 2.
const QByteArray japaneseHeader =
    R"({\rtf1\ansi\ansicpg932\deff0\deftab720)"
    R"({\fonttbl{\f0\fnil\fcharset128 \'82\'6c\'82\'72 \'96\'be\'92\'a9;})"
    R"({\f1\froman\fcharset0 Times New Roman;})"
    R"({\f2\fmodern\fcharset128 \'82\'6c\'82\'72 \'83\'53\'83\'56\'83\'62\'83\'4e;}})"
    R"({\colortbl;\red0\green0\blue0;\red255\green0\blue0;\red0\green0\blue255;})"
    "\r\n";

QByteArray japaneseDocument(const QByteArray &body)
{
    return japaneseHeader + R"(\pard\plain )" + body + "\r\n}";
}

QString textOf(const QByteArray &rtf, rtf::ReadResult *result = nullptr)
{
    QTextDocument document;
    const rtf::ReadResult read = rtf::read(rtf, &document);
    if (result)
        *result = read;
    return rtf::plainText(&document);
}

QList<int> faultCodes(const QList<rtf::Fault> &faults)
{
    QList<int> codes;
    for (const rtf::Fault fault : faults)
        codes.append(int(fault));
    std::sort(codes.begin(), codes.end());
    return codes;
}

QList<int> faultCodes(std::initializer_list<rtf::Fault> faults) { return faultCodes(QList<rtf::Fault>(faults)); }

QString fixturePath(const QString &name) { return QStringLiteral(FIXTURES_DIR "/rtf/") + name; }

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// Text files written by other programs: a UTF-8 mark and a final newline
// are theirs, not the document's.
QString normalisedText(QString text)
{
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

// How a character looks: by default as the document's plain text.
struct Look
{
    QString family = QStringLiteral("IPAMincho");
    double pointSize = 12.0;
    bool bold = false;
    bool italic = false;
    QTextCharFormat::UnderlineStyle underline = QTextCharFormat::NoUnderline;
    QColor colour = QColor(0, 0, 0);
};

} // namespace

Q_DECLARE_METATYPE(Look)

class TestRtfReader : public QObject
{
    Q_OBJECT

private slots:
    void decodesText_data();
    void decodesText();
    void readsFormatting_data();
    void readsFormatting();
    void mapsFontNames_data();
    void mapsFontNames();
    void setsTabStops_data();
    void setsTabStops();
    void listsMarkedRuns_data();
    void listsMarkedRuns();
    void matchesOtherPrograms_data();
    void matchesOtherPrograms();
    void reportsFaults_data();
    void reportsFaults();
    void survivesRandomBytes_data();
    void survivesRandomBytes();
    void reproducesFaultFixtures_data();
    void reproducesFaultFixtures();
    void readsLargeDocumentsQuickly_data();
    void readsLargeDocumentsQuickly();
};

void TestRtfReader::decodesText_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char *name, const QByteArray &body, const QString &expected) {
        QTest::newRow(name) << japaneseDocument(body) << expected;
    };

    // Double-byte characters, however the writer split them.
    row("hex-escaped pairs", R"(\'93\'fa\'96\'7b\'8e\'6a)", u"日本史"_s);
    row("0x5c trail bytes as escaped backslashes", R"(\'95\\\'83\\\'94\\\'8f\\\'97\\)", u"表ソ能十予"_s);
    row("0x5c trail bytes as hex escapes", R"(\'95\'5c\'83\'5c\'94\'5c\'8f\'5c\'97\'5c)", u"表ソ能十予"_s);
    row("raw pairs", "\x93\xfa\x96\x7b\x8e\x6a", u"日本史"_s);
    row("raw lead byte takes a backslash", "\x95\\\x83\\\x94\\", u"表ソ能"_s);
    row("raw lead byte takes braces", "\x95{\x95}", u"府扶"_s);
    row("hex lead with escaped brace trail", R"(\'95\{\'95\})", u"府扶"_s);
    row("hex lead with raw ASCII trail", R"(\'8ej\'95\\)", u"史表"_s);
    row("vendor rows of code page 932", R"(\'87\'40\'87\'45\'87\'54\'87\'8a\'81\'60)", u"①⑥Ⅰ㈱～"_s);
    row("ASCII between double-byte text", R"(\'93\'fa 1\'96\'7b)", u"日 1本"_s);
    row("Latin font in a code page 932 document", R"({\f1 \'93\'fa A})", u"日 A"_s);

    // Unicode escapes and their fallbacks.
    row("unicode with one fallback character", R"(\u26085?\u26412?)", u"日本"_s);
    row("unicode with two fallback escapes", R"(\uc2\u26085\'93\'fa\u26412\'96\'7b)", u"日本"_s);
    row("unicode without fallback", R"(\uc0\u26085\u26412 )", u"日本"_s);
    row("unicode with raw double-byte fallback", "\\uc2\\u26085 \x93\xfa" "a", u"日a"_s);
    row("negative unicode above U+7FFF", R"(\u-32515?)", u"能"_s);
    row("surrogate pair", R"(\u-10179?\u-8704?)", u"\U0001F600"_s);
    row("fallback count restored by closing brace", R"({\uc2\u26085\'93\'fa}\u26412?)", u"日本"_s);
    row("closing brace ends a pending fallback", R"({\uc3\u26085 ab}c)", u"日c"_s);
    row("control word is one fallback character", R"(\u26085\b x)", u"日x"_s);
    row("control symbol is one fallback character", R"(\u26085\~x)", u"日x"_s);
    row("upr shows its unicode part", R"({\upr{\'3f}{\*\ud{\u26085?}}})", u"日"_s);

    // Structure and destinations.
    row("paragraph, line and tab", R"(a\par b\line c\tab d)", u"a\nb\nc\td"_s);
    row("CR and LF are not text", "a\r\nb\rc\nd", u"abcd"_s);
    row("one space ends a control word", R"(a\b0  b)", u"a b"_s);
    row("unknown control words ignored", R"(\foo\bar12 x\baz-3 y)", u"xy"_s);
    row("special characters", R"(a\~b\_c\-d\emdash\lquote e\rquote)", u"a\u00a0b\u2011cd\u2014\u2018e\u2019"_s);
    row("starred destination skipped", R"(a{\*\generator Writer 1.0;}{\*\unknown xyz}b)", u"ab"_s);
    row("info, stylesheet and picture skipped",
        R"({\info{\title T}}{\stylesheet{\s1 Heading;}}{\pict\wmetafile8 89504e47}x)", u"x"_s);
    row("binary data skipped", R"(x{\pict\wmetafile8\bin6 {\{}\}}y)", u"xy"_s);
    row("raw double-byte style name ending in a brace",
        "{\\stylesheet{\\s1 \x83\x7b\x95}\x83\x4e;}}after", u"after"_s);
    row("field result shown, instruction skipped",
        R"({\field{\*\fldinst HYPERLINK "x"}{\fldrslt link}})", u"link"_s);
    row("hidden text skipped", R"(a{\v hidden}b)", u"ab"_s);
    row("final paragraph mark opens no paragraph", R"(a\par b\par)", u"a\nb"_s);

    QTest::newRow("code page 1252 document")
        << QByteArray(R"({\rtf1\ansi\ansicpg1252 caf\'e9 \'93quoted\'94})") << u"café “quoted”"_s;
    QTest::newRow("Japanese font in a code page 1252 document")
        << QByteArray(R"({\rtf1\ansi\ansicpg1252{\fonttbl{\f0\froman Times;}{\f1\fnil\fcharset128 MS Mincho;}})"
                      R"(\f1 \'93\'fa\f0 \'e9})")
        << u"日é"_s;
}

void TestRtfReader::decodesText()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);

    rtf::ReadResult result;
    QCOMPARE(textOf(rtf, &result), expected);
    QVERIFY2(result.ok(), qPrintable(result.message));
}

void TestRtfReader::readsFormatting_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<Look>("look");

    // Each row says how its text differs from the document's plain text.
    const auto row = [](const char *name, const QByteArray &body, void (*differs)(Look &), const QString &needle = u"x"_s) {
        Look look;
        differs(look);
        QTest::newRow(name) << body << needle << look;
    };
    row("defaults", "x", [](Look &) {});
    row("bold", R"({\b x})", [](Look &l) { l.bold = true; });
    row("bold off", R"({\b\b0 x})", [](Look &) {});
    row("italic", R"({\i x})", [](Look &l) { l.italic = true; });
    row("underline", R"({\ul x})", [](Look &l) { l.underline = QTextCharFormat::SingleUnderline; });
    row("dotted underline", R"({\uld x})", [](Look &l) { l.underline = QTextCharFormat::DotLine; });
    row("wave underline", R"({\ulwave x})", [](Look &l) { l.underline = QTextCharFormat::WaveUnderline; });
    row("ulnone", R"({\ul\ulnone x})", [](Look &) {});
    row("ul0", R"({\ul\ul0 x})", [](Look &) {});
    row("underline colour alone", R"({\ulc2 x})", [](Look &) {});
    row("red", R"({\cf2 x})", [](Look &l) { l.colour = QColor(255, 0, 0); });
    row("blue", R"({\cf3 x})", [](Look &l) { l.colour = QColor(0, 0, 255); });
    row("auto colour", R"({\cf2\cf0 x})", [](Look &) {});
    row("colour past the table", R"({\cf40 x})", [](Look &) {});
    row("red underlined in nested groups", R"({\cf2 a{\b{\ul x}}})", [](Look &l) {
        l.bold = true;
        l.underline = QTextCharFormat::SingleUnderline;
        l.colour = QColor(255, 0, 0);
    });
    row("group end restores", R"({\cf2\ul\b a}x)", [](Look &) {});
    row("size in half-points", R"({\fs21 x})", [](Look &l) { l.pointSize = 10.5; });
    row("plain resets", R"({\b\i\ul\cf2\fs40\f2\plain x})", [](Look &) {});
    row("gothic font", R"({\f2 x})", [](Look &l) { l.family = u"IPAGothic"_s; });
    row("double-byte text in gothic", R"({\f2\fs32 \'95\\})", [](Look &l) {
        l.family = u"IPAGothic"_s;
        l.pointSize = 16.0;
    }, u"表"_s);
}

void TestRtfReader::readsFormatting()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, needle);
    QFETCH(Look, look);

    QTextDocument document;
    QVERIFY(rtf::read(japaneseDocument(body), &document).ok());
    const qsizetype at = rtf::plainText(&document).lastIndexOf(needle);
    QVERIFY(at >= 0);
    QTextCursor cursor(&document);
    cursor.setPosition(int(at) + 1);
    const QTextCharFormat format = cursor.charFormat();

    QCOMPARE(format.fontFamilies().toStringList().value(0), look.family);
    QCOMPARE(format.fontPointSize(), look.pointSize);
    QCOMPARE(format.fontWeight() >= QFont::Bold, look.bold);
    QCOMPARE(format.fontItalic(), look.italic);
    QCOMPARE(int(format.underlineStyle()), int(look.underline));
    QCOMPARE(format.foreground().color(), look.colour);
}

void TestRtfReader::mapsFontNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("acceptable");

    const QStringList gothic = {QStringLiteral("IPAGothic")};
    const QStringList mincho = {QStringLiteral("IPAMincho")};
    const QStringList serif = {QStringLiteral("Liberation Serif"), QStringLiteral("Nimbus Roman"),
                               QStringLiteral("DejaVu Serif"), QStringLiteral("Noto Serif")};
    const QStringList sans = {QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                              QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans")};

    QTest::newRow("full-width MS gothic") << u"ＭＳ ゴシック"_s << gothic;
    QTest::newRow("MS Gothic") << u"MS Gothic"_s << gothic;
    QTest::newRow("full-width MS P gothic") << u"ＭＳ Ｐゴシック"_s << gothic;
    QTest::newRow("full-width MS mincho") << u"ＭＳ 明朝"_s << mincho;
    QTest::newRow("MS Mincho") << u"MS Mincho"_s << mincho;
    QTest::newRow("Heisei mincho") << u"平成明朝"_s << mincho;
    QTest::newRow("Times") << u"Times"_s << serif;
    QTest::newRow("Times New Roman") << u"Times New Roman"_s << serif;
    QTest::newRow("MS Sans Serif") << u"MS Sans Serif"_s << sans;
}

void TestRtfReader::mapsFontNames()
{
    QFETCH(QString, name);
    QFETCH(QStringList, acceptable);

    const QString family = fonts::familyFor(name);
    QVERIFY2(acceptable.contains(family), qPrintable(family));
    QVERIFY(QFontDatabase::hasFamily(family));
}

void TestRtfReader::setsTabStops_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<double>("pixels");

    // At 96 dots per inch: 1440 twips are an inch.
    QTest::newRow("deftab720") << QByteArray(R"({\rtf1\ansi\deftab720 a\tab b})") << 48.0;
    QTest::newRow("deftab1440") << QByteArray(R"({\rtf1\ansi\deftab1440 a\tab b})") << 96.0;
    QTest::newRow("no deftab") << QByteArray(R"({\rtf1\ansi a\tab b})") << 48.0;
}

void TestRtfReader::setsTabStops()
{
    QFETCH(QByteArray, rtf);
    QFETCH(double, pixels);

    if (!qFuzzyCompare(QGuiApplication::primaryScreen()->logicalDotsPerInchY(), 96.0))
        QSKIP("the expected distances are for a 96 dpi screen");
    QTextDocument document;
    QVERIFY(rtf::read(rtf, &document).ok());
    QCOMPARE(document.defaultTextOption().tabStopDistance(), pixels);
}

void TestRtfReader::listsMarkedRuns_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char *name, const QByteArray &body, const QString &expected) {
        QTest::newRow(name) << japaneseDocument(body) << expected;
    };
    row("nothing marked", R"(plain {\b bold})", QString());
    row("red and underlined runs in nested groups", R"(normal {\cf2 red {\ul both}} {\ul under}\par)",
        u"red \tyes\tno\nboth\tyes\tyes\nunder\tno\tyes\n"_s);
    row("double-byte red underlined", R"({\cf2\ul \'90\'d4\'89\'ba\'90\'fc}\'82\'a0)", u"赤下線\tyes\tyes\n"_s);
    row("runs end at a paragraph", R"({\ul a\par b})", u"a\tno\tyes\nb\tno\tyes\n"_s);
    row("same pair, other fonts", R"({\ul\b a}{\ul\f1 b}{\ul\i c})", u"abc\tno\tyes\n"_s);
    row("any underline style counts", R"({\ulwave a}{\uld b}{\uldb c})", u"abc\tno\tyes\n"_s);
    row("tab and backslash escaped", R"({\ul a\tab b\\c})", u"a\\tb\\\\c\tno\tyes\n"_s);

    QTest::newRow("red at another colour index")
        << QByteArray(R"({\rtf1\ansi{\colortbl;\red0\green0\blue255;\red255\green0\blue0;}{\cf2 r}{\cf1 b}})")
        << u"r\tyes\tno\n"_s;
    QTest::newRow("almost red is not red")
        << QByteArray(R"({\rtf1\ansi{\colortbl;\red254\green0\blue0;\red255\green0\blue1;}{\cf1 a}{\cf2 b}})")
        << QString();
}

void TestRtfReader::listsMarkedRuns()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);

    QTextDocument document;
    QVERIFY(rtf::read(rtf, &document).ok());
    QCOMPARE(rtf::markedRuns(&document), expected);
}

void TestRtfReader::matchesOtherPrograms_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("runs");

    // The marked runs are those of the source texts in converted/sources.
    const QString japaneseRuns = u"下線\tno\tyes\n赤字\tyes\tno\n赤い下線\tyes\tyes\n"_s;
    QTest::newRow("LibreOffice, Japanese, code page 932 fallbacks") << "libreoffice-japanese" << japaneseRuns;
    QTest::newRow("LibreOffice, Japanese, ASCII fallbacks") << "libreoffice-japanese-ascii-fallback" << japaneseRuns;
    QTest::newRow("LibreOffice, English") << "libreoffice-english"
                                          << u"underlined\tno\tyes\nred\tyes\tno\nred underlined\tyes\tyes\n"_s;
    QTest::newRow("pandoc, Japanese") << "pandoc-japanese" << u"下線\tno\tyes\n赤い下線\tno\tyes\n"_s;
    QTest::newRow("pandoc, English") << "pandoc-english" << u"underlined\tno\tyes\n"_s;
}

void TestRtfReader::matchesOtherPrograms()
{
    QFETCH(QString, name);
    QFETCH(QString, runs);

    const QByteArray rtf = readFile(fixturePath(QStringLiteral("converted/%1.rtf").arg(name)));
    const QByteArray text = readFile(fixturePath(QStringLiteral("converted/%1.txt").arg(name)));
    QVERIFY(!rtf.isEmpty());
    QVERIFY(!text.isEmpty());

    QTextDocument document;
    const rtf::ReadResult result = rtf::read(rtf, &document);
    QVERIFY2(result.ok(), qPrintable(result.message));
    QCOMPARE(rtf::plainText(&document), normalisedText(QString::fromUtf8(text)));
    QCOMPARE(rtf::markedRuns(&document), runs);
}

void TestRtfReader::reportsFaults_data()
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

void TestRtfReader::reportsFaults()
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

void TestRtfReader::survivesRandomBytes_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("rtfLike");

    for (quint32 seed : {1u, 2u, 3u, 932u, 20240401u}) {
        QTest::addRow("noise, seed %u", seed) << seed << false;
        QTest::addRow("RTF pieces, seed %u", seed) << seed << true;
    }
}

void TestRtfReader::survivesRandomBytes()
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

void TestRtfReader::reproducesFaultFixtures_data()
{
    QTest::addColumn<QString>("path");

    const QDir faults(fixturePath(QStringLiteral("faults")));
    const QStringList names = faults.entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
    if (names.isEmpty())
        QTest::newRow("none") << QString();
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << faults.filePath(name);
}

void TestRtfReader::reproducesFaultFixtures()
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

void TestRtfReader::readsLargeDocumentsQuickly_data()
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

void TestRtfReader::readsLargeDocumentsQuickly()
{
    QFETCH(QByteArray, rtf);

    QTextDocument document;
    QElapsedTimer timer;
    timer.start();
    const rtf::ReadResult result = rtf::read(rtf, &document);
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(result.ok(), qPrintable(result.message));
    QVERIFY(document.blockCount() > 10);
    // A few milliseconds in a release build; the bound leaves room for
    // sanitizers and a busy machine, and still catches per-character work.
    QVERIFY2(elapsed < 1500, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
}

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
