// The shipped question booklet read through the program's own RTF reader and
// held against the answer key: the sections, passages and questions as the
// answer sheet lays them out, the choices each question offers, the marked
// phrases the questions cite, and the look of the page. Also the figure 図１.
#include "answerkey.h"
#include "documenttesting.h"
#include "fontmap.h"

#include <QImage>
#include <QRegularExpression>
#include <QtTest>

namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// "１７" and "17" both read 17.
int numberOf(const QString &digits)
{
    return digits.normalized(QString::NormalizationForm_KC).toInt();
}

const QString circledDigits = u("①②③④⑤⑥⑦⑧⑨⑩");

// The circled digits that open the choices of one line, in order: a choice
// opens at the start of the line, or after the run of spaces (two or more)
// that parts it from the choice before it on the same line. Every other
// circled digit of the line goes to strays.
QString choiceDigits(const QString &line, QString *strays)
{
    QString opened;
    for (qsizetype at = 0; at < line.size(); ++at) {
        if (!circledDigits.contains(line.at(at)))
            continue;
        qsizetype spaces = 0;
        while (spaces < at && line.at(at - 1 - spaces).isSpace())
            ++spaces;
        const bool opensChoice = at == 0 || (!opened.isEmpty() && spaces >= 2 && spaces < at);
        (opensChoice ? opened : *strays) += line.at(at);
    }
    return opened;
}

const QColor red(255, 0, 0);

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
    QString passages;
    QStringList markedPhrases;   // each longest red, underlined run of its passages, in order
};

// The booklet cut into sections, passages and questions. A heading is a
// paragraph "第N問…（配点　M）", a passage opens with "Ａ　", "Ｂ　" or "Ｃ　",
// a question with "問N　"; a question runs to the next of any of these.
struct Booklet
{
    int paragraphs = 0;
    int characters = 0;
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
    bool inQuestion = false;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        ++booklet.paragraphs;
        booklet.characters += int(text.size());
        QStringList marked;
        bool inMarked = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            const bool isMarked = format.foreground().color() == red && format.fontUnderline();
            if (isMarked && inMarked)
                marked.last() += it.fragment().text();
            else if (isMarked)
                marked.append(it.fragment().text());
            inMarked = isMarked;
        }

        const QRegularExpressionMatch head = heading.match(text);
        const QRegularExpressionMatch passage = passageStart.match(text);
        const QRegularExpressionMatch question = questionStart.match(text);
        if (head.hasMatch()) {
            booklet.sections.append({numberOf(head.captured(1)), numberOf(head.captured(2)), {}, {}});
            inQuestion = false;
            continue;
        }
        const bool opensPart = passage.hasMatch() || question.hasMatch();
        if (booklet.sections.isEmpty() || (question.hasMatch() && booklet.sections.last().passages.isEmpty())) {
            if (opensPart)
                booklet.strays.append(text);
            continue;
        }
        Section &section = booklet.sections.last();
        if (passage.hasMatch()) {
            section.passages += passage.captured(1);
            inQuestion = false;
        } else if (question.hasMatch()) {
            booklet.questions.append({section.number, section.passages.back(), numberOf(question.captured(1)), {}});
            inQuestion = true;
        }
        if (inQuestion)
            booklet.questions.last().lines.append(text);
        else if (!section.passages.isEmpty())
            section.markedPhrases.append(marked);
    }
    return booklet;
}

// The answer sheet's layout and the key, as the exam is set: the caption of each
// question's answer page, and how many choices it offers.
struct QuestionRow
{
    const char *caption;
    int choices;
};

const QuestionRow questionTable[questionCount] = {
    {"1A-問1", 4}, {"1A-問2", 4}, {"1B-問3", 6}, {"1B-問4", 4}, {"1C-問5", 4}, {"1C-問6", 4},
    {"2A-問1", 4}, {"2A-問2", 6}, {"2A-問3", 4}, {"2A-問4", 4}, {"2B-問5", 4}, {"2B-問6", 4},
    {"3A-問1", 4}, {"3A-問2", 4}, {"3A-問3", 4}, {"3B-問4", 4}, {"3B-問5", 4}, {"3B-問6", 4},
    {"4A-問1", 4}, {"4A-問2", 4}, {"4A-問3", 4}, {"4B-問4", 4}, {"4B-問5", 4}, {"4B-問6", 6},
    {"5A-問1", 4}, {"5A-問2", 4}, {"5A-問3", 4}, {"5A-問4", 4}, {"5B-問5", 6}, {"5B-問6", 4},
    {"5C-問7", 4}, {"5C-問8", 4}, {"6A-問1", 4}, {"6A-問2", 4}, {"6B-問3", 4}, {"6B-問4", 4},
};

// The one question about the figure.
const int figureQuestion = 28;   // 5A-問4

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
    void bytesAreCodePage932WithTheBookletFonts();
    void textIsEightPointMinchoAndTimesInBlackAndRed();
    void sizeIsAsPlanned();
    void figureDecodesAtItsSize();

private:
    QByteArray m_bytes;
    QTextDocument m_document;
    Booklet m_booklet;
};

void BookletTest::initTestCase()
{
    const QString failure = readShippedDocument(QStringLiteral(":/documents/booklet.rtf"), &m_document, &m_bytes);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
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
    QTest::newRow("第1問") << 0 << 17 << u("ＡＢＣ");
    QTest::newRow("第2問") << 1 << 17 << u("ＡＢ");
    QTest::newRow("第3問") << 2 << 17 << u("ＡＢ");
    QTest::newRow("第4問") << 3 << 17 << u("ＡＢ");
    QTest::newRow("第5問") << 4 << 21 << u("ＡＢＣ");
    QTest::newRow("第6問") << 5 << 11 << u("ＡＢ");
}

void BookletTest::sections()
{
    QFETCH(int, index);
    QFETCH(int, marks);
    QFETCH(QString, passages);

    const Section &section = m_booklet.sections.at(index);
    QCOMPARE(section.number, index + 1);
    QCOMPARE(section.marks, marks);
    QCOMPARE(sectionPoints(index + 1), marks);
    QCOMPARE(section.passages, passages);

    // The marked phrases of a section are lettered ａ, ｂ, ｃ ... in the order they come.
    QVERIFY(!section.markedPhrases.isEmpty());
    for (int i = 0; i < section.markedPhrases.size(); ++i) {
        const QString &phrase = section.markedPhrases.at(i);
        QVERIFY2(phrase.size() > 1, qPrintable(phrase));
        QCOMPARE(phrase.at(0), QChar(u'ａ' + i));
    }
}

void BookletTest::questions_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("choices");
    for (int i = 0; i < questionCount; ++i) {
        const QuestionRow &row = questionTable[i];
        QTest::addRow("%d %s", i + 1, row.caption) << i + 1 << u(row.caption) << row.choices;
    }
}

void BookletTest::questions()
{
    QFETCH(int, number);
    QFETCH(QString, caption);
    QFETCH(int, choices);

    QCOMPARE(answerKey[number - 1].choices, choices);
    QCOMPARE(answerPageCaption(number), caption);

    const Question &question = m_booklet.questions.at(number - 1);
    const QChar passage(u'A' + (question.passage.unicode() - u'Ａ'));
    QCOMPARE(QStringLiteral("%1%2-問%3").arg(question.section).arg(passage).arg(question.number), caption);
    QCOMPARE(question.lines.contains(u("図１")), number == figureQuestion);

    // The stem names the range of the choices once, as "次の①～④のうちから".
    const QString range = circledDigits.at(0) + u("～") + circledDigits.at(choices - 1);
    QString stem = question.lines.first();
    QVERIFY2(stem.contains(u("の%1のうちから一つ選べ").arg(range)), qPrintable(stem));
    QCOMPARE(stem.count(range), 1);
    stem.remove(range);

    // The k-th choice is the k-th box of the answer page: each box once, in
    // order, and no circled digit anywhere else.
    QString digits;
    for (qsizetype i = 0; i < question.lines.size(); ++i) {
        QString strays;
        const QString opened = choiceDigits(i == 0 ? stem : question.lines.at(i), &strays);
        QVERIFY2(strays.isEmpty(), qPrintable(question.lines.at(i)));
        if (i > 0)
            digits += opened;
    }
    QCOMPARE(digits, circledDigits.left(choices));

    // Every marked phrase a question cites is marked in its section's passages.
    static const QRegularExpression citation(u("下線部([ａ-ｚ])"));
    const Section &section = m_booklet.sections.at(question.section - 1);
    for (const QString &line : question.lines) {
        for (auto it = citation.globalMatch(line); it.hasNext();) {
            const QChar letter = it.next().captured(1).at(0);
            const bool found = std::any_of(section.markedPhrases.cbegin(), section.markedPhrases.cend(),
                                           [letter](const QString &phrase) { return phrase.startsWith(letter); });
            QVERIFY2(found, qPrintable(u("下線部%1 is not a red, underlined phrase of 第%2問").arg(letter).arg(section.number)));
        }
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
    QVERIFY(std::all_of(m_bytes.cbegin(), m_bytes.cend(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
}

void BookletTest::textIsEightPointMinchoAndTimesInBlackAndRed()
{
    const QString mincho = fonts::familyFor(u("平成明朝"));
    const QString times = fonts::familyFor(QStringLiteral("Times"));
    QVERIFY(mincho != times);
    int redRuns = 0;
    for (const QTextFragment &fragment : fragmentsOf(m_document)) {
        const QTextCharFormat format = fragment.charFormat();
        QCOMPARE(format.fontPointSize(), 8.0);
        const QString family = format.fontFamilies().toStringList().value(0);
        for (QChar c : fragment.text()) {
            if (c.unicode() >= 0x80)
                QVERIFY2(family == mincho, qPrintable(fragment.text()));
            else if (c.isLetterOrNumber())
                QVERIFY2(family == times, qPrintable(fragment.text()));
        }
        const QColor colour = format.foreground().color();
        QVERIFY(colour == Qt::black || colour == red);
        // Red and underlined go together: the marked phrases and nothing else.
        QCOMPARE(format.fontUnderline(), colour == red);
        redRuns += colour == red;
    }
    QVERIFY(redRuns > 0);
}

// About 295 paragraphs and 10,900 characters, give or take a tenth.
void BookletTest::sizeIsAsPlanned()
{
    QVERIFY2(m_booklet.paragraphs >= 265 && m_booklet.paragraphs <= 324, qPrintable(QString::number(m_booklet.paragraphs)));
    QVERIFY2(m_booklet.characters >= 9810 && m_booklet.characters <= 11990, qPrintable(QString::number(m_booklet.characters)));
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
