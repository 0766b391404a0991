// The shipped documents read through the program's own RTF reader: the pass-line
// table and the help document.
#include "documenttesting.h"
#include "fontmap.h"

#include <QRegularExpression>
#include <QtTest>

#include <algorithm>

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
    {"北海道", "法", "８０．３％"}, {"北海道", "工", "８１．５％"}, {"北海道", "医", "９１．７％"},
    {"東北", "法", "８６．９％"},   {"東北", "工", "８５．０％"},   {"東北", "医", "９２．９％"},
    {"東京", "法", "９２．１％"},   {"東京", "工", "９２．５％"},   {"東京", "医", "９６．０％"},
    {"名古屋", "法", "８５．５％"}, {"名古屋", "工", "８７．０％"}, {"名古屋", "医", "９３．４％"},
    {"京都", "法", "８９．２％"},   {"京都", "工", "８９．４％"},   {"京都", "医", "９５．０％"},
    {"大阪", "法", "８８．１％"},   {"大阪", "工", "８８．１％"},   {"大阪", "医", "９３．５％"},
    {"九州", "法", "８６．７％"},   {"九州", "工", "８４．０％"},   {"九州", "医", "９４．０％"},
};

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QStringList columns(const QString &paragraph)
{
    static const QRegularExpression gap(QStringLiteral("[\\x{3000}\\t]+"));
    return paragraph.split(gap, Qt::SkipEmptyParts);
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

} // namespace

class DocumentsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void documentSize_data();
    void documentSize();
    void oneFontThroughout_data();
    void oneFontThroughout();

    void passLineHeader();
    void passLineEntries_data();
    void passLineEntries();

    void helpTitleIsFramedByCircles();
    void helpHeadingsInOrder();
    void helpFacts_data();
    void helpFacts();

private:
    QTextDocument m_passLineDocument;
    QTextDocument m_helpDocument;
    QStringList m_passLines;
    QStringList m_help;
};

void DocumentsTest::initTestCase()
{
    QString failure = readShippedDocument(QStringLiteral(":/documents/passlines.rtf"), &m_passLineDocument);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    failure = readShippedDocument(QStringLiteral(":/documents/help.rtf"), &m_helpDocument);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    m_passLines = paragraphsOf(m_passLineDocument);
    m_help = paragraphsOf(m_helpDocument);
}

void DocumentsTest::documentSize_data()
{
    QTest::addColumn<bool>("passLines");
    QTest::addColumn<int>("fewestParagraphs");
    QTest::addColumn<int>("mostParagraphs");
    QTest::addColumn<int>("characters");   // give or take a tenth
    QTest::newRow("pass-line table") << true << 126 << 126 << 5200;
    QTest::newRow("help, 170 paragraphs") << false << 170 << 170 << 3400;
}

void DocumentsTest::documentSize()
{
    QFETCH(bool, passLines);
    QFETCH(int, fewestParagraphs);
    QFETCH(int, mostParagraphs);
    QFETCH(int, characters);
    const QStringList &paragraphs = passLines ? m_passLines : m_help;
    QVERIFY2(paragraphs.size() >= fewestParagraphs && paragraphs.size() <= mostParagraphs,
             qPrintable(QString::number(paragraphs.size())));
    const qsizetype count = paragraphs.join(QString()).size();
    QVERIFY2(count >= characters * 9 / 10 && count <= characters * 11 / 10, qPrintable(QString::number(count)));
}

void DocumentsTest::oneFontThroughout_data()
{
    documentSize_data();
}

// Both documents are "ＭＳ ゴシック" 9 pt, black, plain, from start to end.
void DocumentsTest::oneFontThroughout()
{
    QFETCH(bool, passLines);
    const QTextDocument &doc = passLines ? m_passLineDocument : m_helpDocument;
    const QString gothic = u("ＭＳ ゴシック");
    const QStringList acceptedFamilies{gothic, fonts::familyFor(gothic)};
    const QList<QTextFragment> fragments = fragmentsOf(doc);
    QVERIFY(!fragments.isEmpty());
    for (const QTextFragment &fragment : fragments) {
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
        QVERIFY2(format.fontWeight() <= QFont::Normal && !format.fontUnderline() && !format.fontItalic(),
                 qPrintable(where));
    }
}

void DocumentsTest::passLineHeader()
{
    QVERIFY(m_passLines.size() > 2);
    const QStringList expected{u("旧帝国大学"), u("学部名"), u("受験科目"), u("合格ライン（１科目平均）")};
    QCOMPARE(columns(m_passLines[0]), expected);
    QVERIFY(m_passLines[0].contains(ideographicSpace));
    QVERIFY(m_passLines[1].isEmpty());
    // Columns are set with ideographic spaces; the one tab is 京都 工's, before its 地歴.
    QCOMPARE(m_passLines.filter(QStringLiteral("\t")).size(), 1);
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
            << i << u(row.university) << u(row.faculty) << u(row.passLine);
    }
}

// Each entry: university (first faculty only), faculty, 国 and the pass line;
// then 地歴, 数, 理 and 外 each on a paragraph of its own; then an empty paragraph.
// 京都 工 alone keeps its 地歴 on the first paragraph, after a tab.
void DocumentsTest::passLineEntries()
{
    QFETCH(int, index);
    QFETCH(QString, university);
    QFETCH(QString, faculty);
    QFETCH(QString, passLine);

    const QList<Entry> entries = entriesOf(m_passLines);
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
    QCOMPARE(cols.last(), passLine);

    const QString geographyHeading = faculty == u("法") ? u("地歴・公民") : u("地歴");
    QStringList rest = entry.rest;
    if (geographyInline)
        rest.prepend(first.section(QLatin1Char('\t'), 1));
    QVERIFY2(rest.size() >= 4, qPrintable(rest.join(QLatin1Char('|'))));
    QVERIFY2(columns(rest[0]).value(0).startsWith(geographyHeading), qPrintable(rest[0]));
    QVERIFY2(rest[0].contains(u("から")), qPrintable(rest[0]));
    QCOMPARE(columns(rest[1]).value(0), u("数"));
    QCOMPARE(columns(rest[2]).value(0), u("理"));
    const QString sciences = faculty == u("法") ? u("物理Ｂ・化学Ｂ・生物Ｂ・地学Ｂ") : u("物理Ｂ・化学Ｂ");
    QVERIFY2(rest[2].contains(sciences), qPrintable(rest[2]));
    static const QRegularExpression foreignLanguage(QStringLiteral("^\\x{3000}*外[\\x{3000}\\t]*$"));
    QVERIFY2(foreignLanguage.match(rest[3]).hasMatch(), qPrintable(rest[3]));

    const bool lastEntry = index == 20;
    QCOMPARE(rest.size(), lastEntry ? 4 : 5);
    if (!lastEntry)
        QVERIFY(rest[4].isEmpty());
}

void DocumentsTest::helpTitleIsFramedByCircles()
{
    QVERIFY(m_help.size() > 3);
    static const QRegularExpression circles(QStringLiteral("^○{10,}$"));
    QVERIFY2(circles.match(m_help[0]).hasMatch(), qPrintable(m_help[0]));
    QVERIFY2(m_help[1].contains(u("説明")), qPrintable(m_help[1]));
    QVERIFY2(circles.match(m_help[2]).hasMatch(), qPrintable(m_help[2]));
}

void DocumentsTest::helpHeadingsInOrder()
{
    static const QRegularExpression headingMark(QStringLiteral("^[★※]"));
    const QStringList expected{u("★はじめに"),   u("★同梱包ファイルについて"), u("※補足"),
                               u("★学習手順"),   u("★問題と採点について"),     u("★解答・解説の見方"),
                               u("※６０％の目安"), u("※時間の数え方"),         u("※解答・解説のキー操作"),
                               u("★注意事項"),   u("★おわりに")};
    QCOMPARE(m_help.filter(headingMark), expected);

    // Each section is set off from the one before it by an empty paragraph.
    for (int i = 1; i < m_help.size(); ++i) {
        if (expected.contains(m_help[i]))
            QVERIFY2(m_help[i - 1].isEmpty(), qPrintable(m_help[i]));
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
    const auto it = std::find_if(m_help.cbegin(), m_help.cend(), [&](const QString &p) { return p.startsWith(label); });
    QVERIFY2(it != m_help.cend(), qPrintable(label));
    QVERIFY2(it->contains(value), qPrintable(*it));
}

QTEST_MAIN(DocumentsTest)
#include "tst_documents.moc"
