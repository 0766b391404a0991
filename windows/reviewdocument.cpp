#include "reviewdocument.h"

#include "barchart.h"
#include "reviewsections.h"

#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

using namespace reviewtext;

namespace {

// The top, from the diagnosis below the total: the sections' header and subtotals, the
// mistakes, the timing's heading, note and chart, the tags' heading, the eras, the
// themes, the study points and the questions' heading.
enum SummaryOffset {
    Diagnosis, SectionsHeader, Sections, Mistakes, TimingHeading, TimingNote, Timing, TagHeading, Eras, Themes,
    StudyPoints, QuestionsHeading, Count
};

// A question's entry is its line with the answer, the question in the booklet's words,
// a paragraph for each choice, and the key's choice with the explanation. The line and
// the choices change with the marking. Each rewritten paragraph is laid out again and
// moves every paragraph after it, so a new tick rewrites only the choices it touches.
enum EntryOffset { Line, Question, FirstChoice };

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
    return m_document->findBlockByNumber(m_entryBlocks[size_t(question - 1)]);
}

QList<LinkSpan> linksOf(const QTextDocument *document)
{
    QList<LinkSpan> links;
    QString lastHref;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QString href = fragment.charFormat().anchorHref();
            const int end = fragment.position() + fragment.length();
            if (ReviewDocument::questionOfLink(href) == 0) {
                lastHref.clear();
                continue;
            }
            if (href == lastHref && links.last().end == fragment.position())
                links.last().end = end;
            else
                links.append({fragment.position(), end});
            lastHref = href;
        }
        lastHref.clear();
    }
    return links;
}

QTextBlock ReviewDocument::summaryBlock(int offset) const
{
    return m_document->findBlockByNumber(m_summaryBlock + offset);
}

void ReviewDocument::show(const ReviewReport &report)
{
    QList<int> all;
    for (int n = 1; n <= questionCount; ++n)
        all << n;
    show(report, all);
}

void ReviewDocument::show(const ReviewReport &report, const QList<int> &first)
{
    const bool firstMarking = m_entryBlocks[0] == 0;
    if (firstMarking)
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
    m_pending.clear();
    for (int n = 1; n <= questionCount; ++n) {
        if (firstMarking || first.contains(n))
            writeEntry(report.question(n));
        else
            m_pending << n;
    }
    // Below the first ones before above them: reading goes on downwards.
    const int last = first.isEmpty() ? 0 : *std::max_element(first.begin(), first.end());
    std::stable_partition(m_pending.begin(), m_pending.end(), [last](int n) { return n > last; });
    if (m_pending.isEmpty())
        m_report.reset();
    else
        m_report = report;
}

void ReviewDocument::writePending(int count)
{
    while (count-- > 0 && !m_pending.isEmpty())
        writeEntry(m_report->question(m_pending.takeFirst()));
    if (m_pending.isEmpty())
        m_report.reset();
}

void ReviewDocument::writeEntry(const QuestionReport &question)
{
    replaceBlock(m_document, entryBlock(question.question), reviewsections::entryLine(question));
    QTextBlock choice = entryBlock(question.question);
    for (int i = Line; i < FirstChoice; ++i)
        choice = choice.next();
    for (const ChoiceReport &each : question.choices) {
        replaceBlock(m_document, choice, reviewsections::entryChoice(each));
        choice = choice.next();
    }
}

// The lines that stay, empty lines where the marking goes, and the explanations.
void ReviewDocument::writeAll(const ReviewReport &report)
{
    m_document->clear();
    QTextCursor cursor(m_document);
    cursor.beginEditBlock();
    writeSummary(&cursor);
    Q_ASSERT(cursor.block().blockNumber() + 1 == m_summaryBlock + SummaryOffset::Count);
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
    for (int n = 1; n <= questionCount; ++n) {
        cursor->insertBlock(entryFormat);
        m_entryBlocks[size_t(n - 1)] = cursor->block().blockNumber();
        cursor->insertBlock(indented(24, 2));
        reviewsections::writeQuestionText(cursor, report.question(n));
        for (qsizetype choice = 0; choice < report.question(n).choices.size(); ++choice)
            cursor->insertBlock(indented(24, 0));
        cursor->insertBlock(indented(24, 2));
        reviewsections::writeExplanation(cursor, report.question(n));
    }
}
