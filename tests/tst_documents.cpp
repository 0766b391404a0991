// The shipped documents read through the program's own RTF reader, and the
// pictures, icons and time-up sound decoded as the program loads them.
#include "fontmap.h"
#include "rtfreader.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QtEndian>
#include <QtTest>

namespace {

const QChar ideographicSpace(0x3000);

// The pass lines as the table prints them, in the table's order.
struct PassLineRow
{
    const char *university;
    const char *faculty;
    const char *passLine;
};
const PassLineRow passLineTable[21] = {
    {"北海道", "法", "80.3"}, {"北海道", "工", "81.5"}, {"北海道", "医", "91.7"},
    {"東北", "法", "86.9"},   {"東北", "工", "85.0"},   {"東北", "医", "92.9"},
    {"東京", "法", "92.1"},   {"東京", "工", "92.5"},   {"東京", "医", "96.0"},
    {"名古屋", "法", "85.5"}, {"名古屋", "工", "87.0"}, {"名古屋", "医", "93.4"},
    {"京都", "法", "89.2"},   {"京都", "工", "89.4"},   {"京都", "医", "95.0"},
    {"大阪", "法", "88.1"},   {"大阪", "工", "88.1"},   {"大阪", "医", "93.5"},
    {"九州", "法", "86.7"},   {"九州", "工", "84.0"},   {"九州", "医", "94.0"},
};

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// "８０．３％" -> "80.3"
QString halfWidth(const QString &fullWidth)
{
    QString out;
    for (QChar c : fullWidth) {
        if (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19)
            out += QChar(c.unicode() - 0xFF10 + '0');
        else if (c == QChar(0xFF0E))
            out += QLatin1Char('.');
    }
    return out;
}

QStringList columns(const QString &paragraph)
{
    static const QRegularExpression gap(QStringLiteral("[\\x{3000}\\t]+"));
    return paragraph.split(gap, Qt::SkipEmptyParts);
}

bool isBlank(const QString &text)
{
    for (QChar c : text) {
        if (c != ideographicSpace)
            return false;
    }
    return true;
}

struct LoadedDocument
{
    QTextDocument document;
    QStringList paragraphs;
};

// The paragraphs as the reader built them. The block after the last \par
// holds nothing and is no paragraph of the source.
QStringList paragraphsOf(const QTextDocument &document)
{
    QStringList out;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        out << block.text();
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out;
}

bool load(const QString &resource, LoadedDocument *loaded)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const rtf::ReadResult result = rtf::read(file.readAll(), &loaded->document);
    if (!result.ok()) {
        qWarning("%s: %s", qPrintable(resource), qPrintable(result.message));
        return false;
    }
    loaded->paragraphs = paragraphsOf(loaded->document);
    return true;
}

// One entry of the pass-line table: the paragraph with the pass line and the
// paragraphs that follow it up to the next entry.
struct Entry
{
    QString firstParagraph;
    QStringList rest;
};

QList<Entry> entriesOf(const QStringList &paragraphs)
{
    static const QRegularExpression passLine(QStringLiteral("[０-９]+．[０-９]％"));
    QList<Entry> entries;
    for (int i = 1; i < paragraphs.size(); ++i) {
        if (paragraphs[i].contains(passLine))
            entries.append({paragraphs[i], {}});
        else if (!entries.isEmpty())
            entries.last().rest.append(paragraphs[i]);
    }
    return entries;
}

quint16 le16(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 le32(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

bool isRed(QRgb pixel)
{
    return qAlpha(pixel) >= 200 && qRed(pixel) >= 180 && qGreen(pixel) <= 80 && qBlue(pixel) <= 80;
}

} // namespace

class DocumentsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void paragraphCount_data();
    void paragraphCount();
    void characterCount_data();
    void characterCount();
    void oneFontThroughout_data();
    void oneFontThroughout();

    void passLineHeader();
    void passLineEntries_data();
    void passLineEntries();
    void kyotoEngineeringKeepsGeographyOnItsFirstLine();

    void helpTitleIsFramedByCircles();
    void helpHeadingsInOrder();
    void helpFacts_data();
    void helpFacts();

    void pictureDecodes_data();
    void pictureDecodes();
    void correctMarkIsARedRing();
    void appIconIsARedRingOnTransparency_data();
    void appIconIsARedRingOnTransparency();
    void iconFileHoldsEverySize();
    void timeUpSound();

private:
    LoadedDocument m_passLines;
    LoadedDocument m_help;
    const LoadedDocument &documentNamed(const QString &name) const
    {
        return name == QLatin1String("passlines") ? m_passLines : m_help;
    }
};

void DocumentsTest::initTestCase()
{
    QVERIFY(load(QStringLiteral(":/documents/passlines.rtf"), &m_passLines));
    QVERIFY(load(QStringLiteral(":/documents/help.rtf"), &m_help));
}

void DocumentsTest::paragraphCount_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<int>("least");
    QTest::addColumn<int>("most");
    QTest::newRow("pass-line table") << "passlines" << 126 << 126;
    QTest::newRow("help, about 113") << "help" << 102 << 124;
}

void DocumentsTest::paragraphCount()
{
    QFETCH(QString, document);
    QFETCH(int, least);
    QFETCH(int, most);
    const int count = int(documentNamed(document).paragraphs.size());
    QVERIFY2(count >= least && count <= most, qPrintable(QString::number(count)));
}

void DocumentsTest::characterCount_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<int>("about");
    QTest::newRow("pass-line table") << "passlines" << 5200;
    QTest::newRow("help") << "help" << 2300;
}

void DocumentsTest::characterCount()
{
    QFETCH(QString, document);
    QFETCH(int, about);
    qsizetype count = 0;
    for (const QString &paragraph : documentNamed(document).paragraphs)
        count += paragraph.size();
    QVERIFY2(count >= about * 9 / 10 && count <= about * 11 / 10, qPrintable(QString::number(count)));
}

void DocumentsTest::oneFontThroughout_data()
{
    QTest::addColumn<QString>("document");
    QTest::newRow("pass-line table") << "passlines";
    QTest::newRow("help") << "help";
}

// Both documents are "ＭＳ ゴシック" 9 pt, black, plain, from start to end.
void DocumentsTest::oneFontThroughout()
{
    QFETCH(QString, document);
    const QTextDocument &doc = documentNamed(document).document;
    const QString gothic = u("ＭＳ ゴシック");
    const QStringList acceptedFamilies{gothic, fonts::familyFor(gothic)};
    int fragments = 0;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            ++fragments;
            const QTextCharFormat format = fragment.charFormat();
            const QString where = QStringLiteral("at \"%1\"").arg(fragment.text().left(20));

            const QStringList families = format.fontFamilies().toStringList();
            const QString family = families.isEmpty() ? doc.defaultFont().family() : families.first();
            QVERIFY2(acceptedFamilies.contains(family), qPrintable(family + QLatin1Char(' ') + where));
            const qreal size = format.hasProperty(QTextFormat::FontPointSize) ? format.fontPointSize()
                                                                               : doc.defaultFont().pointSizeF();
            QVERIFY2(qFuzzyCompare(size, 9.0), qPrintable(QString::number(size) + QLatin1Char(' ') + where));
            if (format.hasProperty(QTextFormat::ForegroundBrush))
                QVERIFY2(format.foreground().color() == QColor(Qt::black), qPrintable(where));
            QVERIFY2(format.fontWeight() <= QFont::Normal, qPrintable(where));
            QVERIFY2(!format.fontUnderline(), qPrintable(where));
            QVERIFY2(!format.fontItalic(), qPrintable(where));
        }
    }
    QVERIFY(fragments > 0);
}

void DocumentsTest::passLineHeader()
{
    const QStringList &paragraphs = m_passLines.paragraphs;
    QVERIFY(paragraphs.size() > 2);
    const QStringList expected{u("旧帝国大学"), u("学部名"), u("受験科目"), u("合格ライン（１科目平均）")};
    QCOMPARE(columns(paragraphs[0]), expected);
    QVERIFY(paragraphs[0].contains(ideographicSpace));
    QVERIFY(paragraphs[1].isEmpty());
}

void DocumentsTest::passLineEntries_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("university");
    QTest::addColumn<QString>("faculty");
    QTest::addColumn<QString>("passLine");
    for (int i = 0; i < 21; ++i) {
        const PassLineRow &row = passLineTable[i];
        QTest::addRow("%s %s", row.university, row.faculty)
            << i << u(row.university) << u(row.faculty) << QString::fromLatin1(row.passLine);
    }
}

// Each entry: university (first faculty only), faculty, 国 and the pass line;
// then 地歴, 数, 理 and 外 each on a paragraph of its own; then an empty paragraph.
void DocumentsTest::passLineEntries()
{
    QFETCH(int, index);
    QFETCH(QString, university);
    QFETCH(QString, faculty);
    QFETCH(QString, passLine);

    const QList<Entry> entries = entriesOf(m_passLines.paragraphs);
    QCOMPARE(entries.size(), 21);
    const Entry &entry = entries[index];
    const bool firstOfUniversity = index % 3 == 0;
    const bool geographyInline = university == u("京都") && faculty == u("工");

    const QString &first = entry.firstParagraph;
    if (firstOfUniversity) {
        QVERIFY2(first.startsWith(university + ideographicSpace), qPrintable(first));
    } else {
        QVERIFY2(first.startsWith(ideographicSpace), qPrintable(first));
        QVERIFY(!first.contains(university));
    }
    const QString passLineText = geographyInline ? first.section(QLatin1Char('\t'), 0, 0) : first;
    const QStringList cols = columns(passLineText);
    QCOMPARE(cols.value(firstOfUniversity ? 1 : 0), faculty);
    QCOMPARE(cols.value(firstOfUniversity ? 2 : 1), u("国"));
    QVERIFY(passLineText.contains(u("国語Ⅰ・Ⅱ")));
    QVERIFY2(cols.last().endsWith(u("％")), qPrintable(passLineText));
    QCOMPARE(halfWidth(cols.last()), passLine);

    const QString geographyHeading = faculty == u("法") ? u("地歴・公民") : u("地歴");
    QStringList rest = entry.rest;
    if (geographyInline)
        rest.prepend(first.section(QLatin1Char('\t'), 1));
    QVERIFY2(rest.size() >= 4, qPrintable(rest.join(QLatin1Char('|'))));
    QVERIFY2(columns(rest[0]).value(0).startsWith(geographyHeading), qPrintable(rest[0]));
    QVERIFY2(rest[0].contains(u("から")), qPrintable(rest[0]));
    QCOMPARE(columns(rest[1]).value(0), u("数"));
    QCOMPARE(columns(rest[2]).value(0), u("理"));
    if (faculty == u("法"))
        QVERIFY2(rest[2].contains(u("物理Ｂ・化学Ｂ・生物Ｂ・地学Ｂ")), qPrintable(rest[2]));
    else
        QVERIFY2(rest[2].contains(u("物理Ｂ・化学Ｂ")), qPrintable(rest[2]));
    QCOMPARE(columns(rest[3]), QStringList{u("外")});
    QVERIFY(isBlank(rest[3].left(rest[3].indexOf(u("外")))));

    const bool lastEntry = index == 20;
    QCOMPARE(rest.size(), lastEntry ? 4 : 5);
    if (!lastEntry)
        QVERIFY(rest[4].isEmpty());
}

void DocumentsTest::kyotoEngineeringKeepsGeographyOnItsFirstLine()
{
    QStringList withTab;
    for (const QString &paragraph : m_passLines.paragraphs) {
        if (paragraph.contains(QLatin1Char('\t')))
            withTab << paragraph;
    }
    QCOMPARE(withTab.size(), 1);
    const QString &line = withTab.first();
    QVERIFY(line.startsWith(ideographicSpace));
    QCOMPARE(columns(line).value(0), u("工"));
    QCOMPARE(halfWidth(line.section(QLatin1Char('\t'), 0, 0).section(ideographicSpace, -1)), QStringLiteral("89.4"));
    QVERIFY(line.section(QLatin1Char('\t'), 1).startsWith(u("地歴")));
}

void DocumentsTest::helpTitleIsFramedByCircles()
{
    const QStringList &paragraphs = m_help.paragraphs;
    QVERIFY(paragraphs.size() > 3);
    static const QRegularExpression circles(QStringLiteral("^○{10,}$"));
    QVERIFY2(circles.match(paragraphs[0]).hasMatch(), qPrintable(paragraphs[0]));
    QVERIFY2(paragraphs[1].contains(u("説明")), qPrintable(paragraphs[1]));
    QVERIFY2(circles.match(paragraphs[2]).hasMatch(), qPrintable(paragraphs[2]));
}

void DocumentsTest::helpHeadingsInOrder()
{
    QStringList headings;
    for (const QString &paragraph : m_help.paragraphs) {
        if (paragraph.startsWith(u("★")) || paragraph.startsWith(u("※")))
            headings << paragraph;
    }
    const QStringList expected{u("★はじめに"),   u("★同梱包ファイルについて"), u("※補足"),
                               u("★学習手順"),   u("★問題と採点について"),     u("★注意事項"),
                               u("★おわりに")};
    QCOMPARE(headings, expected);

    // Each section is set off from the one before it by an empty paragraph.
    for (int i = 1; i < m_help.paragraphs.size(); ++i) {
        if (expected.contains(m_help.paragraphs[i]))
            QVERIFY2(m_help.paragraphs[i - 1].isEmpty(), qPrintable(m_help.paragraphs[i]));
    }
}

void DocumentsTest::helpFacts_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("value");
    QTest::newRow("name") << u("【ソフト名】") << u("日本史Ｂ　模擬試験");
    QTest::newRow("program") << u("【ソフト名】") << u("nihonshib");
    QTest::newRow("version") << u("【バージョン】") << u("1.0.0");
    QTest::newRow("published") << u("【公開日】") << u("2026年12月7日");
    QTest::newRow("language") << u("【開発環境】") << u("C++17");
    QTest::newRow("toolkit") << u("【開発環境】") << u("Qt 6.4");
    QTest::newRow("system") << u("【動作環境】") << u("Debian 12");
    QTest::newRow("package") << u("【パッケージ内容】") << u("nihonshib");
}

void DocumentsTest::helpFacts()
{
    QFETCH(QString, label);
    QFETCH(QString, value);
    const QStringList &paragraphs = m_help.paragraphs;
    const auto it = std::find_if(paragraphs.begin(), paragraphs.end(),
                                 [&](const QString &p) { return p.startsWith(label); });
    QVERIFY2(it != paragraphs.end(), qPrintable(label));
    QVERIFY2(it->contains(value), qPrintable(*it));
}

void DocumentsTest::pictureDecodes_data()
{
    QTest::addColumn<QString>("resource");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("size");
    QTest::newRow("background") << ":/pictures/background.gif" << QByteArray("gif") << QSize(794, 567);
    QTest::newRow("correct mark") << ":/pictures/maru.ico" << QByteArray("ico") << QSize(32, 32);
    QTest::newRow("icon 16") << ":/icons/app-16.png" << QByteArray("png") << QSize(16, 16);
    QTest::newRow("icon 32") << ":/icons/app-32.png" << QByteArray("png") << QSize(32, 32);
    QTest::newRow("icon 48") << ":/icons/app-48.png" << QByteArray("png") << QSize(48, 48);
    QTest::newRow("icon 256") << ":/icons/app-256.png" << QByteArray("png") << QSize(256, 256);
}

void DocumentsTest::pictureDecodes()
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

void DocumentsTest::correctMarkIsARedRing()
{
    const QImage image = QImage(QStringLiteral(":/pictures/maru.ico")).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(32, 32));
    for (const QPoint corner : {QPoint(0, 0), QPoint(31, 0), QPoint(0, 31), QPoint(31, 31)})
        QCOMPARE(qAlpha(image.pixel(corner)), 0);
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

void DocumentsTest::appIconIsARedRingOnTransparency_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 32, 48, 256})
        QTest::addRow("%d px", size) << size;
}

void DocumentsTest::appIconIsARedRingOnTransparency()
{
    QFETCH(int, size);
    const QImage image = QImage(QStringLiteral(":/icons/app-%1.png").arg(size)).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(size, size));
    const int last = size - 1;
    for (const QPoint corner : {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last)})
        QCOMPARE(qAlpha(image.pixel(corner)), 0);

    // Coming down the middle column, the first solid pixel is the ring, near the top.
    int ringTop = -1;
    for (int y = 0; y < size && ringTop < 0; ++y) {
        if (qAlpha(image.pixel(size / 2, y)) >= 200)
            ringTop = y;
    }
    QVERIFY(ringTop >= 0 && ringTop <= size / 8);
    QVERIFY(isRed(image.pixel(size / 2, ringTop)));

    // Inside the ring stands the character: red, and with transparency around its strokes.
    int redInside = 0;
    int clearInside = 0;
    for (int y = size / 4; y < size * 3 / 4; ++y) {
        for (int x = size / 4; x < size * 3 / 4; ++x) {
            const QRgb pixel = image.pixel(x, y);
            redInside += isRed(pixel);
            clearInside += qAlpha(pixel) == 0;
        }
    }
    QVERIFY(redInside > size * size / 40);
    QVERIFY(clearInside > 0 || size == 16);
}

void DocumentsTest::iconFileHoldsEverySize()
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
void DocumentsTest::timeUpSound()
{
    QFile file(QStringLiteral(SOURCE_DIR "/resources/Zikan.wav"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray wav = file.readAll();
    QVERIFY(wav.size() > 44);
    QCOMPARE(wav.left(4), QByteArray("RIFF"));
    QCOMPARE(wav.mid(8, 4), QByteArray("WAVE"));
    QCOMPARE(le32(wav, 4), quint32(wav.size() - 8));

    int channels = 0;
    quint32 rate = 0;
    int bits = 0;
    QByteArray samples;
    for (int at = 12; at + 8 <= wav.size();) {
        const QByteArray id = wav.mid(at, 4);
        const quint32 length = le32(wav, at + 4);
        QVERIFY(at + 8 + qint64(length) <= wav.size());
        if (id == "fmt ") {
            QCOMPARE(le16(wav, at + 8), quint16(1)); // PCM
            channels = le16(wav, at + 10);
            rate = le32(wav, at + 12);
            bits = le16(wav, at + 22);
        } else if (id == "data") {
            samples = wav.mid(at + 8, int(length));
        }
        at += 8 + int(length) + int(length & 1);
    }
    QCOMPARE(bits, 16);
    QVERIFY(channels == 1 || channels == 2);
    QCOMPARE(rate, quint32(44100));
    QVERIFY(!samples.isEmpty());
    const double seconds = double(samples.size()) / (2 * channels * rate);
    QVERIFY2(seconds >= 1.0 && seconds <= 2.0, qPrintable(QString::number(seconds)));

    // It starts and ends at silence, so it neither clicks on nor clicks off.
    const auto sampleAt = [&](int index) { return qint16(le16(samples, index * 2)); };
    const int count = int(samples.size() / 2);
    QVERIFY(qAbs(sampleAt(0)) < 64);
    QVERIFY(qAbs(sampleAt(count - 1)) < 64);
    int peak = 0;
    for (int i = 0; i < count; ++i)
        peak = qMax(peak, qAbs(int(sampleAt(i))));
    QVERIFY2(peak > 8000 && peak < 32767, qPrintable(QString::number(peak)));
}

QTEST_MAIN(DocumentsTest)
#include "tst_documents.moc"
