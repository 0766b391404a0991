#include "reviewdocument.h"

#include "fontmap.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

namespace {

const QColor wrongRowBackground(255, 224, 224);
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

QTextTableFormat tableFormat(const QList<qreal> &percentages)
{
    QTextTableFormat format;
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    QList<QTextLength> widths;
    for (qreal percentage : percentages)
        widths << QTextLength(QTextLength::PercentageLength, percentage);
    format.setColumnWidthConstraints(widths);
    format.setCellPadding(3);
    format.setCellSpacing(0);
    format.setBorder(1);
    format.setBorderBrush(QColor(160, 160, 160));
    format.setBorderCollapse(true);
    return format;
}

void fillCell(QTextTable *table, int row, int column, const QString &text, const QTextCharFormat &format,
              const QColor &background = QColor())
{
    QTextTableCell cell = table->cellAt(row, column);
    if (background.isValid()) {
        QTextCharFormat cellFormat = cell.format();
        cellFormat.setBackground(background);
        cell.setFormat(cellFormat);
    }
    cell.firstCursorPosition().insertText(text, format);
}

QString outOf(qint32 earned, int possible)
{
    return QStringLiteral("%1／%2").arg(earned).arg(possible);
}

void writeSections(QTextCursor &cursor, const Marking &marking)
{
    QTextTable *table = cursor.insertTable(2, sectionCount + 2, tableFormat({16, 12, 12, 12, 12, 12, 12, 12}));
    const QTextCharFormat header = textFormat(10, true);
    const QTextCharFormat body = textFormat(10);
    fillCell(table, 0, 0, QStringLiteral("大問"), header, headerBackground);
    fillCell(table, 1, 0, QStringLiteral("得点／配点"), header, headerBackground);
    for (int section = 1; section <= sectionCount; ++section) {
        fillCell(table, 0, section, QStringLiteral("第%1問").arg(section), header, headerBackground);
        fillCell(table, 1, section, outOf(marking.sectionScore(section), sectionPoints(section)), body);
    }
    fillCell(table, 0, sectionCount + 1, QStringLiteral("合計"), header, headerBackground);
    fillCell(table, 1, sectionCount + 1, outOf(marking.total, totalPoints()), header);
    cursor.movePosition(QTextCursor::End);
}

// Two rows a question: the marking, then its explanation across the whole width.
void writeQuestions(QTextCursor &cursor, const Marking &marking, const Explanations &explanations)
{
    QTextTable *table = cursor.insertTable(1 + 2 * questionCount, 4, tableFormat({18, 26, 18, 38}));
    const QTextCharFormat header = textFormat(10, true);
    const QTextCharFormat body = textFormat(10);
    const QTextCharFormat explanation = textFormat(9);
    const QStringList headings = {QStringLiteral("設問"), QStringLiteral("あなたの解答"), QStringLiteral("正解"),
                                  QStringLiteral("正誤・得点")};
    for (int column = 0; column < headings.size(); ++column)
        fillCell(table, 0, column, headings[column], header, headerBackground);

    for (int n = 1; n <= questionCount; ++n) {
        const AnswerKeyRow &key = answerKey[size_t(n - 1)];
        const QuestionMarking &question = marking.question(n);
        const bool right = question.points > 0;
        const int row = 2 * n - 1;
        const QColor background = right ? QColor() : wrongRowBackground;
        fillCell(table, row, 0, answerPageCaption(n), body, background);
        fillCell(table, row, 1, ticksText(question, key.choices), body, background);
        fillCell(table, row, 2, circledDigit(key.correctBox), body, background);
        const QString result = (right ? QStringLiteral("○ ") : QStringLiteral("× ")) + outOf(question.points, key.points);
        fillCell(table, row, 3, result, right ? body : textFormat(10, true, wrongMarkColour), background);
        table->mergeCells(row + 1, 0, 1, 4);
        fillCell(table, row + 1, 0, explanations.of(n), explanation);
    }
    cursor.movePosition(QTextCursor::End);
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

void writeReviewNotice(QTextDocument *document)
{
    document->clear();
    QTextCursor cursor(document);
    cursor.insertText(reviewNotice(), textFormat(10.5));
}

void writeReview(QTextDocument *document, const Marking &marking, const Explanations &explanations)
{
    document->clear();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    cursor.insertText(QStringLiteral("得点　%1点／%2点").arg(marking.total).arg(totalPoints()), textFormat(14, true));
    cursor.insertBlock();
    writeSections(cursor, marking);
    cursor.insertBlock();
    writeQuestions(cursor, marking, explanations);
    cursor.endEditBlock();
}
