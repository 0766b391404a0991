#include "reviewtext.h"

#include "fontmap.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

namespace reviewtext {

namespace {

// A tinted line ends in a tab to the last stop, so its tint reaches across the page.
constexpr qreal lineEnd = 740;

// Whether the block holds exactly the runs, formats included.
bool blockReads(const QTextBlock &block, const QList<Run> &runs)
{
    QString text;
    for (const Run &run : runs)
        text += run.text;
    if (block.text() != text)
        return false;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const int from = fragment.position() - block.position();
        const int to = from + fragment.length();
        int runFrom = 0;
        for (const Run &run : runs) {
            const int runTo = runFrom + int(run.text.size());
            if (runFrom < to && runTo > from && run.format != fragment.charFormat())
                return false;
            runFrom = runTo;
        }
    }
    return true;
}

} // namespace

QTextCharFormat textFormat(qreal points, bool bold, const QColor &colour, const QColor &background)
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

QTextCharFormat linkFormat(int question, qreal points)
{
    QTextCharFormat format = textFormat(points, false, linkColour);
    format.setAnchor(true);
    format.setAnchorHref(QStringLiteral("#q%1").arg(question));
    format.setFontUnderline(true);
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

QString minutes(qint64 ms)
{
    return QString::number(double(ms) / 60000, 'f', 1) + QStringLiteral("分");
}

void replaceBlock(QTextDocument *document, const QTextBlock &block, const QList<Run> &runs)
{
    if (blockReads(block, runs))
        return;
    QString text;
    for (const Run &run : runs)
        text += run.text;
    QTextCursor cursor(document);
    // The whole text goes in at once and the runs' formats are laid over it, all in one
    // edit: outside an edit every move of the cursor would lay out its paragraph to place it.
    cursor.beginEditBlock();
    cursor.setPosition(block.position());
    cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
    if (runs.isEmpty()) {
        cursor.removeSelectedText();
        cursor.endEditBlock();
        return;
    }
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

} // namespace reviewtext
