#include "reviewdocument.h"

#include "fontmap.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

namespace {

const QColor wrongLineBackground(255, 224, 224);
const QColor wrongMarkColour(204, 0, 0);
const QColor headerBackground(232, 232, 232);

QTextCharFormat textFormat(qreal points, bool bold = false, const QColor &colour = Qt::black)
{
    QTextCharFormat format;
    format.setFontFamilies({fonts::familyFor(QStringLiteral("ＭＳ ゴシック"))});
    format.setFontPointSize(points);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    format.setForeground(colour);
    return format;
}

QTextBlockFormat questionLineFormat(bool right)
{
    QTextBlockFormat line;
    line.setTabPositions({QTextOption::Tab(90, QTextOption::LeftTab), QTextOption::Tab(260, QTextOption::LeftTab),
                          QTextOption::Tab(380, QTextOption::LeftTab)});
    line.setTopMargin(6);
    if (!right)
        line.setBackground(wrongLineBackground);
    return line;
}

QTextTableFormat sectionTableFormat()
{
    QTextTableFormat format;
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    QList<QTextLength> widths{QTextLength(QTextLength::PercentageLength, 16)};
    for (int column = 1; column <= sectionCount + 1; ++column)
        widths << QTextLength(QTextLength::PercentageLength, 12);
    format.setColumnWidthConstraints(widths);
    format.setCellPadding(3);
    format.setCellSpacing(0);
    format.setBorder(1);
    format.setBorderBrush(QColor(160, 160, 160));
    format.setBorderCollapse(true);
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

// Replaces what lies between the two positions with the runs, unless it already reads
// the same; each replacement is one edit, which the viewer lays out on its own.
void replaceText(QTextDocument *document, int from, int to, const QList<Run> &runs,
                 const QTextBlockFormat *blockFormat = nullptr)
{
    QString text;
    for (const Run &run : runs)
        text += run.text;
    QTextCursor cursor(document);
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    if (cursor.selectedText() == text)
        return;
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    if (blockFormat)
        cursor.setBlockFormat(*blockFormat);
    for (const Run &run : runs)
        cursor.insertText(run.text, run.format);
    cursor.endEditBlock();
}

void replaceBlock(QTextDocument *document, const QTextBlock &block, const QList<Run> &runs,
                  const QTextBlockFormat *blockFormat = nullptr)
{
    replaceText(document, block.position(), block.position() + block.length() - 1, runs, blockFormat);
}

void replaceCell(QTextTable *table, int row, int column, const Run &run)
{
    const QTextTableCell cell = table->cellAt(row, column);
    replaceText(table->document(), cell.firstPosition(), cell.lastPosition(), {run});
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
    if (!m_sections) {
        writeAll(marking);
        return;
    }
    // With no page the document is not laid out as each line changes, which would lay
    // out everything below that line again; the page given back lays it out once.
    const QSizeF page = m_document->pageSize();
    m_document->setPageSize(QSizeF(0, 0));
    writeTotal(marking);
    writeSections(marking);
    for (int n = 1; n <= questionCount; ++n)
        writeQuestion(n, marking.question(n));
    m_document->setPageSize(page);
}

// The layout first, empty where the marking goes, then the marking line by line.
void ReviewDocument::writeAll(const Marking &marking)
{
    m_document->clear();
    QTextCursor cursor(m_document);
    cursor.beginEditBlock();
    cursor.insertText(QStringLiteral("得点"), textFormat(14, true));
    cursor.insertBlock();
    m_sections = cursor.insertTable(2, sectionCount + 2, sectionTableFormat());
    const QTextCharFormat header = textFormat(10, true);
    const auto headerCell = [this, &header](int row, int column, const QString &text) {
        QTextTableCell cell = m_sections->cellAt(row, column);
        QTextCharFormat cellFormat = cell.format();
        cellFormat.setBackground(headerBackground);
        cell.setFormat(cellFormat);
        cell.firstCursorPosition().insertText(text, header);
    };
    headerCell(0, 0, QStringLiteral("大問"));
    headerCell(1, 0, QStringLiteral("得点／配点"));
    for (int section = 1; section <= sectionCount; ++section)
        headerCell(0, section, QStringLiteral("第%1問").arg(section));
    headerCell(0, sectionCount + 1, QStringLiteral("合計"));

    cursor.movePosition(QTextCursor::End);
    QTextBlockFormat explanationBlock;
    explanationBlock.setLeftMargin(24);
    explanationBlock.setTopMargin(2);
    m_firstQuestionBlock = cursor.block().blockNumber() + 1;
    for (int n = 1; n <= questionCount; ++n) {
        cursor.insertBlock(questionLineFormat(true));
        cursor.insertBlock(explanationBlock);
        cursor.insertText(m_explanations.of(n), textFormat(9));
    }
    cursor.endEditBlock();
    show(marking);
}

// The total stands in the first block, above the sections' table.
void ReviewDocument::writeTotal(const Marking &marking)
{
    const QString total = QStringLiteral("得点　%1点／%2点").arg(marking.total).arg(totalPoints());
    replaceBlock(m_document, m_document->firstBlock(), {{total, textFormat(14, true)}});
}

void ReviewDocument::writeSections(const Marking &marking)
{
    for (int section = 1; section <= sectionCount; ++section)
        replaceCell(m_sections, 1, section, {outOf(marking.sectionScore(section), sectionPoints(section)), textFormat(10)});
    replaceCell(m_sections, 1, sectionCount + 1, {outOf(marking.total, totalPoints()), textFormat(10, true)});
}

// A wrong answer's line is tinted and its "×" red, so it is found by colour and by word.
void ReviewDocument::writeQuestion(int question, const QuestionMarking &marking)
{
    const AnswerKeyRow &key = answerKey[size_t(question - 1)];
    const bool right = marking.points > 0;
    const QTextBlockFormat line = questionLineFormat(right);
    const QString columns = QStringLiteral("\tあなたの解答　") + ticksText(marking, key.choices)
                            + QStringLiteral("\t正解　") + circledDigit(key.correctBox) + QLatin1Char('\t');
    const QString result = (right ? QStringLiteral("○ ") : QStringLiteral("× ")) + outOf(marking.points, key.points);
    replaceBlock(m_document, m_document->findBlockByNumber(m_firstQuestionBlock + 2 * (question - 1)),
                 {{answerPageCaption(question), textFormat(10, true)},
                  {columns, textFormat(10)},
                  {result, right ? textFormat(10, true) : textFormat(10, true, wrongMarkColour)}},
                 &line);
}
