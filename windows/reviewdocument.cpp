#include "reviewdocument.h"

#include "fontmap.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

const QColor wrongLineBackground(255, 224, 224);
const QColor wrongMarkColour(204, 0, 0);
const QColor headerBackground(232, 232, 232);

// A tinted line ends in a tab to the last stop, so its tint reaches across the page.
constexpr qreal lineEnd = 740;

QTextCharFormat textFormat(qreal points, bool bold = false, const QColor &colour = Qt::black,
                           const QColor &background = QColor())
{
    QTextCharFormat format;
    format.setFontFamilies({fonts::familyFor(QStringLiteral("ＭＳ ゴシック"))});
    format.setFontPointSize(points);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    format.setForeground(colour);
    if (background.isValid())
        format.setBackground(background);
    return format;
}

QTextBlockFormat lineFormat(const QList<qreal> &stops, qreal topMargin)
{
    QList<QTextOption::Tab> tabs;
    for (qreal stop : stops)
        tabs << QTextOption::Tab(stop, QTextOption::LeftTab);
    tabs << QTextOption::Tab(lineEnd, QTextOption::LeftTab);
    QTextBlockFormat format;
    format.setTabPositions(tabs);
    format.setTopMargin(topMargin);
    return format;
}

QString outOf(qint32 earned, int possible)
{
    return QStringLiteral("%1／%2").arg(earned).arg(possible);
}

// One run of text in its format.
struct Run
{
    QString text;
    QTextCharFormat format;
};

// Replaces the text of a block with the runs, unless it already reads the same. Each
// replacement is one edit of one block's text, which the viewer lays out on its own:
// block formats and tables stay as first written, since changing those would make it
// lay out the whole document again.
void replaceBlock(QTextDocument *document, const QTextBlock &block, const QList<Run> &runs)
{
    QString text;
    for (const Run &run : runs)
        text += run.text;
    if (block.text() == text)
        return;
    QTextCursor cursor(document);
    cursor.setPosition(block.position());
    cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
    // The whole text goes in at once and the runs' formats are laid over it: each
    // insertion would have the new text laid out on the spot to place the cursor.
    cursor.beginEditBlock();
    cursor.insertText(text, runs.first().format);
    int from = block.position();
    for (const Run &run : runs) {
        cursor.setPosition(from);
        cursor.setPosition(from + int(run.text.size()), QTextCursor::KeepAnchor);
        cursor.setCharFormat(run.format);
        from += int(run.text.size());
    }
    cursor.endEditBlock();
}

} // namespace

QString reviewNotice()
{
    return QStringLiteral("得点ボタンを押して採点すると、ここに解答と解説が表示されます。");
}

QString ticksText(const QuestionMarking &question, int choices)
{
    QString text;
    for (int box = 1; box <= choices; ++box) {
        if (question.isTicked(box))
            text += circledDigit(box);
    }
    return text.isEmpty() ? QStringLiteral("無解答") : text;
}

ReviewDocument::ReviewDocument(QTextDocument *document, const Explanations &explanations)
    : m_document(document), m_explanations(explanations)
{
}

void ReviewDocument::show(const Marking &marking)
{
    if (m_firstQuestionBlock == 0)
        writeAll();
    writeTotal(marking);
    writeSections(marking);
    for (int n = 1; n <= questionCount; ++n)
        writeQuestion(n, marking.question(n));
}

// The lines that stay, empty lines where the marking goes, and the explanations.
void ReviewDocument::writeAll()
{
    m_document->clear();
    QTextCursor cursor(m_document);
    cursor.beginEditBlock();
    QList<qreal> sectionStops;
    for (int column = 1; column <= sectionCount + 1; ++column)
        sectionStops << 100 + 80 * (column - 1);
    cursor.insertBlock(lineFormat(sectionStops, 8));
    const QTextCharFormat header = textFormat(10, true, Qt::black, headerBackground);
    cursor.insertText(QStringLiteral("大問"), header);
    for (int section = 1; section <= sectionCount; ++section)
        cursor.insertText(QStringLiteral("\t第%1問").arg(section), header);
    cursor.insertText(QStringLiteral("\t合計\t"), header);
    cursor.insertBlock(lineFormat(sectionStops, 2));

    QTextBlockFormat explanationBlock;
    explanationBlock.setLeftMargin(24);
    explanationBlock.setTopMargin(2);
    m_firstQuestionBlock = cursor.block().blockNumber() + 1;
    for (int n = 1; n <= questionCount; ++n) {
        cursor.insertBlock(lineFormat({90, 260, 380}, 6));
        cursor.insertBlock(explanationBlock);
        cursor.insertText(m_explanations.of(n), textFormat(9));
    }
    cursor.endEditBlock();
}

// The total stands in the first block, the sections' header and subtotals below it.
void ReviewDocument::writeTotal(const Marking &marking)
{
    const QString total = QStringLiteral("得点　%1点／%2点").arg(marking.total).arg(totalPoints());
    replaceBlock(m_document, m_document->firstBlock(), {{total, textFormat(14, true)}});
}

void ReviewDocument::writeSections(const Marking &marking)
{
    QList<Run> runs{{QStringLiteral("得点／配点"), textFormat(10, true, Qt::black, headerBackground)}};
    for (int section = 1; section <= sectionCount; ++section)
        runs.append({QLatin1Char('\t') + outOf(marking.sectionScore(section), sectionPoints(section)), textFormat(10)});
    runs.append({QLatin1Char('\t') + outOf(marking.total, totalPoints()), textFormat(10, true)});
    replaceBlock(m_document, m_document->findBlockByNumber(m_firstQuestionBlock - 1), runs);
}

// A wrong answer's line is tinted and its "×" red, so it is found by colour and by word.
void ReviewDocument::writeQuestion(int question, const QuestionMarking &marking)
{
    const AnswerKeyRow &key = answerKey[size_t(question - 1)];
    const bool right = marking.points > 0;
    const QColor tint = right ? QColor() : wrongLineBackground;
    const QString columns = QStringLiteral("\tあなたの解答　") + ticksText(marking, key.choices)
                            + QStringLiteral("\t正解　") + circledDigit(key.correctBox) + QLatin1Char('\t');
    const QString result = (right ? QStringLiteral("○ ") : QStringLiteral("× ")) + outOf(marking.points, key.points);
    replaceBlock(m_document, m_document->findBlockByNumber(m_firstQuestionBlock + 2 * (question - 1)),
                 {{answerPageCaption(question), textFormat(10, true, Qt::black, tint)},
                  {columns, textFormat(10, false, Qt::black, tint)},
                  {result, textFormat(10, true, right ? QColor(Qt::black) : wrongMarkColour, tint)},
                  {QStringLiteral("\t"), textFormat(10, false, Qt::black, tint)}});
}
