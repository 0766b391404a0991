// The RTF reader: code page 932 text, Unicode escapes, formatting, the
// red/underlined runs and documents written by other programs. Bad and large
// input is tst_rtfrobustness.

#include "fontmap.h"
#include "rtftesting.h"

#include <QFontDatabase>
#include <QScreen>
#include <QTextCursor>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

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
    void readsStructure_data();
    void readsStructure();
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
    void readsInPartsAsAtOnce_data();
    void readsInPartsAsAtOnce();
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
    // The lead-byte ranges' edges, 0x81-0x9F and 0xE0-0xFC, each before \\, { and }.
    row("raw lead byte 0x81 takes a backslash and braces", "\x81\x5c\x81\x7b\x81\x7d", u"―＋±"_s);
    row("raw lead byte 0x9F takes a backslash and braces", "\x9f\x5c\x9f\x7b\x9f\x7d", u"歃毬毳"_s);
    row("raw lead byte 0xE0 takes a backslash and braces", "\xe0\x5c\xe0\x7b\xe0\x7d", u"濬炮烋"_s);
    // No character has these pairs: each is a replacement mark and its trail byte as text.
    row("raw lead byte 0xFC takes a backslash and braces", "\xfc\x5c\xfc\x7b\xfc\x7d", u"\ufffd\\\ufffd{\ufffd}"_s);
    row("raw lead bytes near the top of the range take a backslash and a brace", "\xfb\x5c\xfb\x7b", u"犾硺"_s);
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
    row("fallback count of a closed group skips nothing after it", R"({\uc2\u26085\'93\'fa}\u26412?xyz)", u"日本xyz"_s);
    row("closing brace ends a pending fallback", R"({\uc3\u26085 ab}c)", u"日c"_s);
    row("control word is one fallback character", R"(\u26085\b x)", u"日x"_s);
    row("control symbol is one fallback character", R"(\u26085\~x)", u"日x"_s);
    row("upr shows its unicode part", R"({\upr{\'3f}{\*\ud{\u26085?}}})", u"日"_s);

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

// Breaks, special characters, and the destinations whose text is not shown.
void TestRtfReader::readsStructure_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char *name, const QByteArray &body, const QString &expected) {
        QTest::newRow(name) << japaneseDocument(body) << expected;
    };
    row("paragraph, line and tab", R"(a\par b\line c\tab d)", u"a\nb\nc\td"_s);
    row("row ends a table row", R"(a\cell b\row c)", u"a\tb\nc"_s);
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
}

void TestRtfReader::readsStructure()
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
    // Thousands of made-up names must not make thousands of formats.
    row("font neither known nor installed", R"({\fonttbl{\f9\fnil NoSuchFontAnywhere;}}{\f9 x})",
        [](Look &l) { l.family = u"IPAMincho"_s; });
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
    QTest::newRow("last colour without its semicolon")
        << QByteArray(R"({\rtf1\ansi{\colortbl;\red0\green0\blue255;\red255\green0\blue0}{\cf2 r}{\cf1 b}})")
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

void TestRtfReader::readsInPartsAsAtOnce_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::newRow("paragraphs in nested groups") << japaneseDocument(
        R"({\cf2 red\par {\ul both\par}}\tx720 a\tab b\par\'90\'d4\line c\par {\b bold} end)");
    QTest::newRow("a brace missing") << QByteArray(R"({\rtf1\ansi a\par {\b b\par c)");
    QTest::newRow("a brace too many") << QByteArray(R"({\rtf1\ansi a\par b\par}})");
    QTest::newRow("not RTF") << QByteArray("a\\par b");
}

// One paragraph at a time, a document reads as it does at once, faults included.
void TestRtfReader::readsInPartsAsAtOnce()
{
    QFETCH(QByteArray, rtf);
    QTextDocument atOnce;
    const rtf::ReadResult whole = rtf::read(rtf, &atOnce);
    QTextDocument inParts;
    rtf::PartialRead reading(rtf, &inParts);
    int parts = 1;
    while (!reading.readParagraphs(1))
        ++parts;
    QVERIFY(reading.isFinished());
    QVERIFY(parts >= qMin(atOnce.blockCount(), 3));
    QCOMPARE(reading.result().faults, whole.faults);
    QCOMPARE(reading.result().isRtf, whole.isRtf);
    QCOMPARE(rtf::plainText(&inParts), rtf::plainText(&atOnce));
    QCOMPARE(rtf::markedRuns(&inParts), rtf::markedRuns(&atOnce));
    QCOMPARE(inParts.defaultTextOption().tabStopDistance(), atOnce.defaultTextOption().tabStopDistance());
}

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
