#include "reviewdocument.h"

#include "barchart.h"
#include "reviewsections.h"

#include <QTextCursor>
#include <QTextDocument>

using namespace reviewtext;

namespace {

// The top, from the diagnosis below the total: the sections' header and subtotals, the
// mistakes, the timing's heading, note and chart, the tags' heading, the eras, the
// themes, the study points and the questions' heading.
enum SummaryOffset {
    Diagnosis, SectionsHeader, Sections, Mistakes, TimingHeading, TimingNote, Timing, TagHeading, Eras, Themes,
    StudyPoints, QuestionsHeading, Count
};

// A question's entry is four paragraphs: its line with the answer, the question in the
// booklet's words, its choices, and the key's choice with the explanation. The first
// and the third change with the marking. Each rewritten paragraph moves every
// paragraph after it in the layout, so those that never change are apart.
enum EntryOffset { Line, Question, Choices, Explanation, BlocksPerQuestion };

QTextBlockFormat chartFormat()
{
    // The bars at 10 points are 14 ems, about 187 pixels, long: their figures follow at the next stop.
    QTextBlockFormat format = lineFormat({90, 290}, 6);
    format.setLeftMargin(12);
    format.setNonBreakableLines(true);
    return format;
}

QTextBlockFormat indented(qreal left, qreal top)
{
    QTextBlockFormat format;
    format.setLeftMargin(left);
    format.setTopMargin(top);
    return format;
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

ReviewDocument::ReviewDocument(QTextDocument *document)
    : m_document(document)
{
    BarChart::install(document);
}

int ReviewDocument::questionOfLink(const QString &href)
{
    if (!href.startsWith(QLatin1String("#q")))
        return 0;
    const int question = href.mid(2).toInt();
    return question >= 1 && question <= questionCount ? question : 0;
}

QTextBlock ReviewDocument::entryBlock(int question) const
{
    return m_document->findBlockByNumber(m_firstQuestionBlock + BlocksPerQuestion * (question - 1));
}

QTextBlock ReviewDocument::summaryBlock(int offset) const
{
    return m_document->findBlockByNumber(m_summaryBlock + offset);
}

void ReviewDocument::show(const ReviewReport &report)
{
    if (m_firstQuestionBlock == 0)
        writeAll(report);
    namespace sections = reviewsections;
    replaceBlock(m_document, m_document->firstBlock(), sections::total(report));
    replaceBlock(m_document, summaryBlock(Diagnosis), sections::diagnosis(report));
    replaceBlock(m_document, summaryBlock(Sections), sections::sectionScores(report));
    replaceBlock(m_document, summaryBlock(Mistakes), sections::mistakes(report));
    replaceBlock(m_document, summaryBlock(TimingNote), sections::timingNote(report));
    replaceBlock(m_document, summaryBlock(Timing), sections::timingChart(report));
    replaceBlock(m_document, summaryBlock(Eras), sections::tagChart(QStringLiteral("時代別（得点の低い順）"), report.eras));
    replaceBlock(m_document, summaryBlock(Themes), sections::tagChart(QStringLiteral("分野別（得点の低い順）"), report.themes));
    replaceBlock(m_document, summaryBlock(StudyPoints), sections::studyPoints(report));
    for (int n = 1; n <= questionCount; ++n) {
        const QTextBlock entry = entryBlock(n);
        replaceBlock(m_document, entry, sections::entryLine(report.question(n)));
        replaceBlock(m_document, entry.next().next(), sections::entryChoices(report.question(n)));
    }
}

// The lines that stay, empty lines where the marking goes, and the explanations.
void ReviewDocument::writeAll(const ReviewReport &report)
{
    m_document->clear();
    QTextCursor cursor(m_document);
    cursor.beginEditBlock();
    writeSummary(&cursor);
    m_firstQuestionBlock = cursor.block().blockNumber() + 1;
    Q_ASSERT(m_firstQuestionBlock == m_summaryBlock + SummaryOffset::Count);
    writeEntries(&cursor, report);
    cursor.endEditBlock();
}

void ReviewDocument::writeSummary(QTextCursor *cursor)
{
    QTextBlockFormat diagnosisFormat = indented(12, 6);
    diagnosisFormat.setRightMargin(12);
    cursor->insertBlock(diagnosisFormat);
    m_summaryBlock = cursor->block().blockNumber();

    QList<qreal> sectionStops;
    for (int column = 1; column <= sectionCount + 1; ++column)
        sectionStops << 100 + 80 * (column - 1);
    QTextBlockFormat sectionRow = lineFormat(sectionStops, 8);
    sectionRow.setNonBreakableLines(true);
    cursor->insertBlock(sectionRow);
    const QTextCharFormat header = textFormat(10, true, Qt::black, headerBackground);
    cursor->insertText(QStringLiteral("大問"), header);
    for (int section = 1; section <= sectionCount; ++section)
        cursor->insertText(QStringLiteral("\t第%1問").arg(section), header);
    cursor->insertText(QStringLiteral("\t合計\t"), header);
    sectionRow.setTopMargin(2);
    cursor->insertBlock(sectionRow);

    // The mistakes by section: the section at a tab, its questions at the next.
    QTextBlockFormat mistakesFormat = lineFormat({12, 60}, 10);
    mistakesFormat.setLeftMargin(12);
    cursor->insertBlock(mistakesFormat);

    const QTextCharFormat heading = textFormat(12, true);
    QTextBlockFormat headingFormat = indented(0, 14);
    headingFormat.setBottomMargin(2);
    const QTextBlockFormat summaryFormat = indented(12, 10);
    cursor->insertBlock(headingFormat);
    cursor->insertText(QStringLiteral("時間の使い方"), heading);
    cursor->insertBlock(summaryFormat);
    cursor->insertBlock(chartFormat());
    cursor->insertBlock(headingFormat);
    cursor->insertText(QStringLiteral("分野別の得点"), heading);
    cursor->insertText(QStringLiteral("　棒は左から正解（緑は得点の60％以上）・誤答（赤）・無解答（灰）。"
                                      "3 問未満の時代・分野は色で判定しません。"),
                       textFormat(9, false, quoteColour));
    cursor->insertBlock(chartFormat());
    cursor->insertBlock(chartFormat());
    QTextBlockFormat studyFormat = lineFormat({24}, 10);
    studyFormat.setLeftMargin(12);
    cursor->insertBlock(studyFormat);
    cursor->insertBlock(headingFormat);
    cursor->insertText(QStringLiteral("問題別の解答と解説"), heading);
}

void ReviewDocument::writeEntries(QTextCursor *cursor, const ReviewReport &report)
{
    // The answer's lines below the line start where the quotes do.
    QTextBlockFormat entryFormat = lineFormat({90, 260, 380}, 6);
    entryFormat.setLeftMargin(24);
    entryFormat.setTextIndent(-24);
    QTextBlockFormat choicesFormat = indented(24, 2);
    choicesFormat.setTextIndent(0);
    for (int n = 1; n <= questionCount; ++n) {
        cursor->insertBlock(entryFormat);
        cursor->insertBlock(indented(24, 2));
        reviewsections::writeQuestionText(cursor, report.question(n));
        cursor->insertBlock(choicesFormat);
        cursor->insertBlock(indented(24, 2));
        reviewsections::writeExplanation(cursor, report.question(n));
    }
}
