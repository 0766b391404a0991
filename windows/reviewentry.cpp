// A question's entry in the review.
#include "reviewsections.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>

namespace reviewsections {

using namespace reviewtext;

namespace {

// The figure as the entry shows it, in document pixels.
constexpr qreal figureWidth = 360;
const QString figureResource = QStringLiteral("figure1");

// 図１ on a line of its own, at about the booklet's size.
void writeFigure(QTextCursor *cursor)
{
    QTextImageFormat figure;
    figure.setName(figureResource);
    figure.setFontPointSize(9); // so the zoom treats it like the text around it
    QTextDocument *document = cursor->document();
    if (document->resource(QTextDocument::ImageResource, QUrl(figureResource)).isNull()) {
        const QImage image(QStringLiteral(":/pictures/figure1.bmp"));
        if (image.isNull())
            return;
        document->addResource(QTextDocument::ImageResource, QUrl(figureResource), image);
    }
    const QImage image = document->resource(QTextDocument::ImageResource, QUrl(figureResource)).value<QImage>();
    figure.setWidth(figureWidth);
    figure.setHeight(figureWidth * image.height() / qMax(1, image.width()));
    cursor->insertText(QString(lineSeparator), textFormat(9));
    cursor->insertImage(figure);
}

} // namespace

// A wrong answer's line is tinted and its "×" red, so it is found by colour and by word.
// Below the line its era and theme, the student's answer in the booklet's words with
// when it last changed, and the reason for no points.
QList<Run> entryLine(const QuestionReport &question)
{
    const bool right = question.outcome == Outcome::Right;
    const QColor tint = right ? QColor() : wrongLineBackground;
    const QString columns = QStringLiteral("\tあなたの解答　") + question.ticks + QStringLiteral("\t正解　")
                            + circledDigit(question.correctBox) + QLatin1Char('\t');
    const QString result = (right ? QStringLiteral("○ ") : QStringLiteral("× ")) + outOf(question.points, question.possible);
    QList<Run> runs{{question.caption, textFormat(10, true, Qt::black, tint)},
                    {columns, textFormat(10, false, Qt::black, tint)},
                    {result, textFormat(10, true, right ? QColor(Qt::black) : wrongMarkColour, tint)},
                    {QStringLiteral("\t"), textFormat(10, false, Qt::black, tint)}};
    if (!question.era.isEmpty()) {
        runs.append({lineSeparator + QStringLiteral("時代・テーマ　") + question.era + QStringLiteral("／") + question.theme,
                     textFormat(9, false, quoteColour)});
    }
    QString when = question.lastChange.isEmpty()
                       ? QString()
                       : QStringLiteral("（解答を最後に変えた時刻：%1）").arg(question.lastChange);
    for (const QString &answer : question.answerLines) {
        const bool reason = answer == question.reason;
        runs.append({lineSeparator + answer, textFormat(9, reason, reason ? wrongMarkColour : QColor(Qt::black))});
        if (!when.isEmpty()) {
            runs.append({when, textFormat(9, false, quoteColour)});
            when.clear();
        }
    }
    return runs;
}

// "②○　ア―代銭納　イ―為替　―　アは年貢を銭で納める代銭納…", marked and tinted when ticked.
QList<Run> entryChoice(const ChoiceReport &choice)
{
    const QColor tint = choice.ticked && !choice.right ? wrongLineBackground : QColor();
    QList<Run> runs{{circledDigit(choice.box) + (choice.right ? QStringLiteral("○") : QStringLiteral("×"))
                         + QStringLiteral("　") + choice.quote,
                     textFormat(9, choice.right, Qt::black, tint)}};
    if (choice.ticked)
        runs.append({QStringLiteral("（あなたの解答）"), textFormat(9, true, choice.right ? QColor(Qt::black) : wrongMarkColour, tint)});
    if (!choice.reason.isEmpty())
        runs.append({QStringLiteral("　―　") + choice.reason, textFormat(9, false, quoteColour)});
    return runs;
}

void writeQuestionText(QTextCursor *cursor, const QuestionReport &question)
{
    cursor->insertText(question.asked.join(lineSeparator), textFormat(9, false, quoteColour));
    if (question.restsOnFigure)
        writeFigure(cursor);
    cursor->insertText(lineSeparator + QStringLiteral("選択肢"), textFormat(9, true));
}

void writeExplanation(QTextCursor *cursor, const QuestionReport &question)
{
    cursor->insertText(question.keyLine + lineSeparator, textFormat(9));
    cursor->insertText(question.explanation, textFormat(9));
    if (question.keyword.isEmpty())
        return;
    cursor->insertText(QString(lineSeparator) + QStringLiteral("学習のポイント　"), textFormat(9, true));
    cursor->insertText(question.keyword + lineSeparator + question.studyPoint, textFormat(9));
}

} // namespace reviewsections
