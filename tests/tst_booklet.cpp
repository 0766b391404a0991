// The shipped question booklet read through the program's own RTF reader and
// held against the answer key: the sections, passages and questions as the
// answer sheet lays them out, the choices each question offers, the marked
// phrases the questions cite, and the look of the page. Also the figure 図１.
#include "answerkey.h"
#include "fontmap.h"
#include "rtfreader.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

#include <map>
#include <set>

namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// "１７" and "17" both read 17.
int numberOf(const QString &digits)
{
    int value = 0;
    for (QChar c : digits) {
        const char16_t code = c.unicode();
        const int digit = code >= 0xFF10 && code <= 0xFF19 ? code - 0xFF10 : code - u'0';
        value = value * 10 + digit;
    }
    return value;
}

bool isCircledDigit(QChar c)
{
    return c.unicode() >= 0x2460 && c.unicode() <= 0x2473;
}

// The circled digits that open the choices of one line, in order: a choice
// opens at the start of the line, or after the run of spaces that parts it
// from the choice before it on the same line. Every other circled digit of
// the line goes to strays.
QString choiceDigits(const QString &line, QString *strays)
{
    QString opened;
    for (qsizetype at = 0; at < line.size(); ++at) {
        if (!isCircledDigit(line.at(at)))
            continue;
        qsizetype spaces = 0;
        while (spaces < at && line.at(at - 1 - spaces).isSpace())
            ++spaces;
        const bool opensChoice = at == 0 || (!opened.isEmpty() && spaces >= 2 && spaces < at);
        (opensChoice ? opened : *strays) += line.at(at);
    }
    return opened;
}

bool isRed(const QTextCharFormat &format)
{
    return format.foreground().color() == QColor(255, 0, 0);
}

// One paragraph of the booklet with its red-and-underlined stretches.
struct Paragraph
{
    QString text;
    QStringList marked;   // each longest run of red, underlined text
};

struct Question
{
    int section = 0;
    QChar passage;
    int number = 0;       // as printed: 問1 ... within the section
    QStringList lines;
};

struct Section
{
    int number = 0;
    int marks = -1;
    QList<QChar> passages;
    QStringList markedPhrases;   // the marked runs of all its passages, in order
};

// The booklet cut into sections, passages and questions. A heading is a
// paragraph "第N問…（配点　M）", a passage opens with "Ａ　", "Ｂ　" or "Ｃ　",
// a question with "問N　"; a question runs to the next of any of these.
struct Booklet
{
    QList<Paragraph> paragraphs;
    QList<Section> sections;
    QList<Question> questions;
    QStringList strays;   // paragraphs of questions or passages outside any section
};

Booklet parse(const QTextDocument &document)
{
    static const QRegularExpression heading(u("^第([0-9０-９])問.*（配点[　 ]*([0-9０-９]+)）$"));
    static const QRegularExpression passageStart(u("^([ＡＢＣ])　"));
    static const QRegularExpression questionStart(u("^問([０-９0-9]+)　"));

    Booklet booklet;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        Paragraph paragraph{block.text(), {}};
        bool inMarked = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            const bool marked = isRed(format) && format.fontUnderline();
            if (marked && inMarked)
                paragraph.marked.last() += fragment.text();
            else if (marked)
                paragraph.marked.append(fragment.text());
            inMarked = marked;
        }
        booklet.paragraphs.append(paragraph);
    }
    // The block after the last \par is empty and no paragraph of the booklet.
    if (!booklet.paragraphs.isEmpty() && booklet.paragraphs.last().text.isEmpty())
        booklet.paragraphs.removeLast();

    enum class Place { Front, Passage, Question } place = Place::Front;
    for (const Paragraph &paragraph : std::as_const(booklet.paragraphs)) {
        const QRegularExpressionMatch head = heading.match(paragraph.text);
        const QRegularExpressionMatch passage = passageStart.match(paragraph.text);
        const QRegularExpressionMatch question = questionStart.match(paragraph.text);
        if (head.hasMatch()) {
            booklet.sections.append({numberOf(head.captured(1)), numberOf(head.captured(2)), {}, {}});
            place = Place::Front;
        } else if (booklet.sections.isEmpty()) {
            if (passage.hasMatch() || question.hasMatch())
                booklet.strays.append(paragraph.text);
        } else if (passage.hasMatch()) {
            booklet.sections.last().passages.append(passage.captured(1).at(0));
            booklet.sections.last().markedPhrases.append(paragraph.marked);
            place = Place::Passage;
        } else if (question.hasMatch()) {
            Section &section = booklet.sections.last();
            if (section.passages.isEmpty()) {
                booklet.strays.append(paragraph.text);
                continue;
            }
            booklet.questions.append({section.number, section.passages.last(),
                                      numberOf(question.captured(1)), {paragraph.text}});
            place = Place::Question;
        } else if (place == Place::Passage) {
            booklet.sections.last().markedPhrases.append(paragraph.marked);
        } else if (place == Place::Question) {
            booklet.questions.last().lines.append(paragraph.text);
        }
    }
    return booklet;
}

// The answer sheet's layout and the key, as the exam is set: whole-test
// number, the caption of its answer page, and how many choices it offers.
struct QuestionRow
{
    int number;
    const char *caption;
    int choices;
};

const QuestionRow questionTable[questionCount] = {
    {1, "1A-問1", 4},  {2, "1A-問2", 4},  {3, "1B-問3", 6},  {4, "1B-問4", 4},
    {5, "1C-問5", 4},  {6, "1C-問6", 4},
    {7, "2A-問1", 4},  {8, "2A-問2", 6},  {9, "2A-問3", 4},  {10, "2A-問4", 4},
    {11, "2B-問5", 4}, {12, "2B-問6", 4},
    {13, "3A-問1", 4}, {14, "3A-問2", 4}, {15, "3A-問3", 4},
    {16, "3B-問4", 4}, {17, "3B-問5", 4}, {18, "3B-問6", 4},
    {19, "4A-問1", 4}, {20, "4A-問2", 4}, {21, "4A-問3", 4},
    {22, "4B-問4", 4}, {23, "4B-問5", 4}, {24, "4B-問6", 6},
    {25, "5A-問1", 4}, {26, "5A-問2", 4}, {27, "5A-問3", 4}, {28, "5A-問4", 4},
    {29, "5B-問5", 6}, {30, "5B-問6", 4},
    {31, "5C-問7", 4}, {32, "5C-問8", 4},
    {33, "6A-問1", 4}, {34, "6A-問2", 4},
    {35, "6B-問3", 4}, {36, "6B-問4", 4},
};

const int sectionMarks[6] = {17, 17, 17, 17, 21, 11};

const int expectedParagraphs = 295;
const int expectedCharacters = 10900;

bool withinTenPercent(int value, int target)
{
    return value >= target * 9 / 10 && value <= target * 11 / 10;
}

} // namespace

class BookletTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sections_data();
    void sections();
    void questions_data();
    void questions();
    void choiceDigitsOfALine_data();
    void choiceDigitsOfALine();
    void markedLettersRunInOrder_data();
    void markedLettersRunInOrder();
    void figureQuestionPointsToTheFigure();
    void bytesAreCodePage932WithTheBookletFonts();
    void textIsEightPointMinchoAndTimes();
    void onlyBlackAndRedText();
    void sizeIsAsPlanned();
    void figureDecodesAtItsSize();

private:
    QByteArray m_bytes;
    QTextDocument m_document;
    Booklet m_booklet;
};

void BookletTest::initTestCase()
{
    QFile file(QStringLiteral(":/documents/booklet.rtf"));
    QVERIFY2(file.open(QIODevice::ReadOnly), "the booklet is not among the program's resources");
    m_bytes = file.readAll();
    const rtf::ReadResult result = rtf::read(m_bytes, &m_document);
    QVERIFY2(result.ok(), qPrintable(result.message));
    m_booklet = parse(m_document);
    QVERIFY2(m_booklet.strays.isEmpty(), qPrintable(m_booklet.strays.join(QLatin1Char('\n'))));
    QCOMPARE(m_booklet.sections.size(), 6);
    QCOMPARE(m_booklet.questions.size(), questionCount);
}

void BookletTest::sections_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("marks");
    QTest::addColumn<QString>("passages");
    for (int i = 0; i < 6; ++i) {
        QString letters;
        for (const Passage &p : passages) {
            if (p.section == i + 1)
                letters += QChar(u'Ａ' + (p.letter - 'A'));
        }
        QTest::addRow("第%d問", i + 1) << i << sectionMarks[i] << letters;
    }
}

void BookletTest::sections()
{
    QFETCH(int, index);
    QFETCH(int, marks);
    QFETCH(QString, passages);

    const Section &section = m_booklet.sections.at(index);
    QCOMPARE(section.number, index + 1);
    QCOMPARE(section.marks, marks);
    QCOMPARE(section.marks, sectionPoints(index + 1));
    QCOMPARE(QString(section.passages.constData(), section.passages.size()), passages);
}

void BookletTest::questions_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("choices");
    for (const QuestionRow &row : questionTable)
        QTest::addRow("%d %s", row.number, row.caption) << row.number << u(row.caption) << row.choices;
}

void BookletTest::questions()
{
    QFETCH(int, number);
    QFETCH(QString, caption);
    QFETCH(int, choices);

    QCOMPARE(answerKey[number - 1].choices, choices);
    QCOMPARE(answerPageCaption(number), caption);

    const Question &question = m_booklet.questions.at(number - 1);
    const QString printed = QStringLiteral("%1%2-問%3").arg(question.section).arg(QChar(u'A' + (question.passage.unicode() - u'Ａ'))).arg(question.number);
    QCOMPARE(printed, caption);

    // The stem names the range of the choices once, as "次の①～④のうちから".
    const QString range = circledDigit(1) + u("～") + circledDigit(choices);
    QString stem = question.lines.first();
    QVERIFY2(stem.contains(u("の%1のうちから一つ選べ").arg(range)), qPrintable(stem));
    QCOMPARE(stem.count(range), 1);
    stem.remove(range);

    // The k-th choice is the k-th box of the answer page: each box once, in
    // order, and no circled digit anywhere else.
    QString strays;
    choiceDigits(stem, &strays);
    QVERIFY2(strays.isEmpty(), qPrintable(question.lines.first()));
    QString digits;
    for (qsizetype i = 1; i < question.lines.size(); ++i) {
        QString straysOfLine;
        digits += choiceDigits(question.lines.at(i), &straysOfLine);
        QVERIFY2(straysOfLine.isEmpty(), qPrintable(question.lines.at(i)));
    }
    QString expectedDigits;
    for (int box = 1; box <= choices; ++box)
        expectedDigits += circledDigit(box);
    QCOMPARE(digits, expectedDigits);

    // Every marked phrase a question cites is marked in its section's passages.
    static const QRegularExpression citation(u("下線部([ａ-ｚ])"));
    const Section &section = m_booklet.sections.at(question.section - 1);
    for (const QString &line : question.lines) {
        auto it = citation.globalMatch(line);
        while (it.hasNext()) {
            const QChar letter = it.next().captured(1).at(0);
            bool found = false;
            for (const QString &phrase : section.markedPhrases)
                found = found || phrase.startsWith(letter);
            QVERIFY2(found, qPrintable(u("下線部%1 is not a red, underlined phrase of 第%2問").arg(letter).arg(section.number)));
        }
    }
}

void BookletTest::choiceDigitsOfALine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("choices");
    QTest::addColumn<QString>("strays");
    QTest::newRow("one choice") << u("①　日本銀行は、1885年から銀兌換銀行券を発行した。") << u("①") << QString();
    QTest::newRow("two choices") << u("③　Ｘ　誤　Ｙ　正　　　④　Ｘ　誤　Ｙ　誤") << u("③④") << QString();
    QTest::newRow("three choices") << u("④　Ⅱ－Ⅲ－Ⅰ　　⑤　Ⅲ－Ⅰ－Ⅱ　　⑥　Ⅲ－Ⅱ－Ⅰ") << u("④⑤⑥") << QString();
    QTest::newRow("two spaces inside a choice") << u("③　ア―撰銭　　イ―借上　　　④　ア―撰銭　　イ―為替") << u("③④") << QString();
    QTest::newRow("range in a stem") << u("問１　正しいものを、次の①～④のうちから一つ選べ。") << QString() << u("①④");
    QTest::newRow("digit inside a choice") << u("①　図１の②によれば") << u("①") << u("②");
    QTest::newRow("one space before a digit") << u("①　Ｘ　正　②　Ｘ　誤") << u("①") << u("②");
    QTest::newRow("spaces before the first choice") << u("　　①　Ｘ　正") << QString() << u("①");
    QTest::newRow("no circled digit") << u("Ｘ　増税と歳出の削減によって、不換紙幣の整理が進められた。") << QString() << QString();
}

void BookletTest::choiceDigitsOfALine()
{
    QFETCH(QString, line);
    QFETCH(QString, choices);
    QFETCH(QString, strays);

    QString found;
    QCOMPARE(choiceDigits(line, &found), choices);
    QCOMPARE(found, strays);
}

void BookletTest::markedLettersRunInOrder_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < 6; ++i)
        QTest::addRow("第%d問", i + 1) << i;
}

void BookletTest::markedLettersRunInOrder()
{
    QFETCH(int, index);
    const Section &section = m_booklet.sections.at(index);
    QVERIFY(!section.markedPhrases.isEmpty());
    for (int i = 0; i < section.markedPhrases.size(); ++i) {
        const QString &phrase = section.markedPhrases.at(i);
        QVERIFY2(phrase.size() > 1, qPrintable(phrase));
        QCOMPARE(phrase.at(0), QChar(u'ａ' + i));
    }
}

void BookletTest::figureQuestionPointsToTheFigure()
{
    const Question &question = m_booklet.questions.at(27);
    QCOMPARE(question.section, 5);
    QCOMPARE(question.number, 4);
    QVERIFY(question.lines.contains(u("図１")));
    for (int i = 0; i < m_booklet.questions.size(); ++i) {
        if (i != 27)
            QVERIFY2(!m_booklet.questions.at(i).lines.contains(u("図１")), qPrintable(QString::number(i + 1)));
    }
}

void BookletTest::bytesAreCodePage932WithTheBookletFonts()
{
    QVERIFY(m_bytes.startsWith("{\\rtf1"));
    QVERIFY(m_bytes.contains("\\ansicpg932"));
    const qsizetype tableStart = m_bytes.indexOf("{\\fonttbl");
    QVERIFY(tableStart >= 0);
    const QByteArray fontTable = m_bytes.mid(tableStart, m_bytes.indexOf("{\\colortbl") - tableStart);
    // 平成明朝 in code page 932: 95bd 90ac 96be 92a9.
    QVERIFY(fontTable.contains("\\'95\\'bd\\'90\\'ac\\'96\\'be\\'92\\'a9;"));
    QVERIFY(fontTable.contains(" Times;"));
    QVERIFY(m_bytes.contains("{\\colortbl\\red0\\green0\\blue0;\\red255\\green0\\blue0;}"));
    for (char c : std::as_const(m_bytes))
        QVERIFY(static_cast<unsigned char>(c) < 0x80);
}

void BookletTest::textIsEightPointMinchoAndTimes()
{
    const QString mincho = fonts::familyFor(u("平成明朝"));
    const QString times = fonts::familyFor(QStringLiteral("Times"));
    QVERIFY(mincho != times);
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            QCOMPARE(format.fontPointSize(), 8.0);
            const QString family = format.fontFamilies().toStringList().value(0);
            for (QChar c : fragment.text()) {
                if (c.unicode() >= 0x80)
                    QVERIFY2(family == mincho, qPrintable(fragment.text()));
                else if (c.isLetterOrNumber())
                    QVERIFY2(family == times, qPrintable(fragment.text()));
            }
        }
    }
}

void BookletTest::onlyBlackAndRedText()
{
    int redRuns = 0;
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            const QColor colour = format.foreground().color();
            QVERIFY(colour == QColor(0, 0, 0) || colour == QColor(255, 0, 0));
            // Red and underlined go together: the marked phrases and nothing else.
            QCOMPARE(format.fontUnderline(), colour == QColor(255, 0, 0));
            redRuns += colour == QColor(255, 0, 0);
        }
    }
    QVERIFY(redRuns > 0);
}

void BookletTest::sizeIsAsPlanned()
{
    const int paragraphs = int(m_booklet.paragraphs.size());
    QVERIFY2(withinTenPercent(paragraphs, expectedParagraphs), qPrintable(QString::number(paragraphs)));

    int characters = 0;
    for (const Paragraph &paragraph : std::as_const(m_booklet.paragraphs))
        characters += int(paragraph.text.size());
    QVERIFY2(withinTenPercent(characters, expectedCharacters), qPrintable(QString::number(characters)));
}

void BookletTest::figureDecodesAtItsSize()
{
    const QImage figure(QStringLiteral(":/pictures/figure1.jpg"));
    QVERIFY(!figure.isNull());
    QCOMPARE(figure.size(), QSize(491, 345));
    // A black-and-white scan: no colour anywhere.
    QVERIFY(figure.allGray());
}

QTEST_MAIN(BookletTest)
#include "tst_booklet.moc"
