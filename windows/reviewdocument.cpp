#include "reviewdocument.h"

#include "barchart.h"
#include "fontmap.h"
#include "reviewdata.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>

namespace {

const QColor wrongLineBackground(255, 224, 224);
const QColor wrongMarkColour(204, 0, 0);
const QColor headerBackground(232, 232, 232);
const QColor linkColour(0, 0, 238);
const QColor quoteColour(64, 64, 64);
const QColor spentBarColour(0, 90, 170);
const QColor shareBarColour(150, 150, 150);
const QColor strongBarColour(0, 120, 60);

constexpr QChar lineSeparator(QChar::LineSeparator);

// A tinted line ends in a tab to the last stop, so its tint reaches across the page.
constexpr qreal lineEnd = 740;

// After the summary: the timing's heading and lines, the tags' heading, the eras,
// the themes, the study points and the questions' heading.
enum SummaryOffset { Summary, TimingHeading, TimingNote, Timing, TagHeading, Eras, Themes, StudyPoints, QuestionsHeading, Count };

// A question's entry is two paragraphs. Its line and below it the student's answer in
// the booklet's words change with the marking; the question in the booklet's words,
// the key's choice and the explanation never do. Each rewritten paragraph moves every
// paragraph after it in the layout, so the entries have as few as can be.
constexpr int blocksPerQuestion = 2;

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

QTextCharFormat linkFormat(int question)
{
    QTextCharFormat format = textFormat(10, false, linkColour);
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

// One run of text in its format.
struct Run
{
    QString text;
    QTextCharFormat format;
};

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

// Replaces the text of a block with the runs, unless it already reads the same. Each
// replacement is one edit of one block's text, which the viewer lays out on its own:
// block formats and tables stay as first written, since changing those would make it
// lay out the whole document again.
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

// A page caption that a line never breaks: word joiners between its characters, since
// a line may otherwise break before or after "問".
QString unbrokenCaption(int question)
{
    const QString caption = answerPageCaption(question);
    QString unbroken;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (i > 0)
            unbroken += QChar(0x2060);
        unbroken += caption[i];
    }
    return unbroken;
}

// "1A-問2、1B-問4", each caption a link to its entry.
void appendLinks(QList<Run> *runs, const QList<int> &questions)
{
    for (qsizetype i = 0; i < questions.size(); ++i) {
        if (i > 0)
            runs->append({QStringLiteral("、"), textFormat(10)});
        runs->append({unbrokenCaption(questions[i]), linkFormat(questions[i])});
    }
}

// A chart's rows: the name, the bars, and the figures that the bars show.
void appendChartRow(QList<Run> *runs, const QString &name, const QList<BarChart::Bar> &bars, const QString &figures)
{
    if (!runs->isEmpty())
        runs->append({QString(lineSeparator), textFormat(10)});
    runs->append({name + QLatin1Char('\t'), textFormat(10)});
    runs->append({QString(QChar::ObjectReplacementCharacter), BarChart::format(bars, textFormat(10))});
    runs->append({QLatin1Char('\t') + figures, textFormat(10)});
}

QList<Run> tagChart(const QString &title, const QList<TagScore> &scores)
{
    QList<Run> runs{{title, textFormat(10, true)}};
    for (const TagScore &score : scores) {
        const int percent = qRound(100.0 * score.earned / score.possible);
        appendChartRow(&runs, score.name,
                       {{qreal(score.earned) / score.possible, score.needsStudy() ? wrongMarkColour : strongBarColour}},
                       QStringLiteral("%1点（%2％）").arg(outOf(score.earned, score.possible)).arg(percent));
    }
    return runs;
}

QTextBlockFormat chartFormat()
{
    // The bars at 10 points are 14 ems, about 187 pixels, long: their figures follow at the next stop.
    QTextBlockFormat format = lineFormat({90, 290}, 6);
    format.setLeftMargin(12);
    format.setNonBreakableLines(true);
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

ReviewDocument::ReviewDocument(QTextDocument *document, const Explanations &explanations, const BookletQuotes &quotes)
    : m_document(document), m_explanations(explanations), m_quotes(quotes)
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
    return m_document->findBlockByNumber(m_firstQuestionBlock + blocksPerQuestion * (question - 1));
}

void ReviewDocument::show(const Marking &marking, const std::optional<RunTiming> &timing)
{
    if (m_firstQuestionBlock == 0)
        writeAll();
    writeTotal(marking);
    writeSections(marking);
    writeSummary(marking);
    writeTiming(timing);
    writeTagScores(marking);
    for (int n = 1; n <= questionCount; ++n)
        writeQuestion(n, marking.question(n), timing);
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
    QTextBlockFormat sectionRow = lineFormat(sectionStops, 8);
    sectionRow.setNonBreakableLines(true);
    cursor.insertBlock(sectionRow);
    const QTextCharFormat header = textFormat(10, true, Qt::black, headerBackground);
    cursor.insertText(QStringLiteral("大問"), header);
    for (int section = 1; section <= sectionCount; ++section)
        cursor.insertText(QStringLiteral("\t第%1問").arg(section), header);
    cursor.insertText(QStringLiteral("\t合計\t"), header);
    sectionRow.setTopMargin(2);
    cursor.insertBlock(sectionRow);
    m_sectionsBlock = cursor.block().blockNumber();

    const QTextCharFormat heading = textFormat(12, true);
    QTextBlockFormat headingFormat;
    headingFormat.setTopMargin(14);
    headingFormat.setBottomMargin(2);
    QTextBlockFormat summaryFormat;
    summaryFormat.setTopMargin(10);
    summaryFormat.setLeftMargin(12);
    cursor.insertBlock(summaryFormat);
    m_summaryBlock = cursor.block().blockNumber();
    cursor.insertBlock(headingFormat);
    cursor.insertText(QStringLiteral("時間の使い方"), heading);
    cursor.insertBlock(summaryFormat);
    cursor.insertBlock(chartFormat());
    cursor.insertBlock(headingFormat);
    cursor.insertText(QStringLiteral("分野別の得点"), heading);
    cursor.insertBlock(chartFormat());
    cursor.insertBlock(chartFormat());
    cursor.insertBlock(summaryFormat);
    cursor.insertBlock(headingFormat);
    cursor.insertText(QStringLiteral("問題別の解答と解説"), heading);

    QTextBlockFormat explanationBlock;
    explanationBlock.setLeftMargin(24);
    explanationBlock.setTopMargin(2);
    // The answer's lines below the line start where the quotes do.
    QTextBlockFormat entryFormat = lineFormat({90, 260, 380}, 6);
    entryFormat.setLeftMargin(24);
    entryFormat.setTextIndent(-24);
    m_firstQuestionBlock = cursor.block().blockNumber() + 1;
    Q_ASSERT(m_firstQuestionBlock == m_summaryBlock + SummaryOffset::Count);
    for (int n = 1; n <= questionCount; ++n) {
        const QuestionQuote &quote = m_quotes.of(n);
        QStringList asked{quote.instruction};
        asked += quote.statements;
        cursor.insertBlock(entryFormat);
        cursor.insertBlock(explanationBlock);
        cursor.insertText(asked.join(lineSeparator) + lineSeparator, textFormat(9, false, quoteColour));
        cursor.insertText(keyLine(n, quote) + lineSeparator, textFormat(9));
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
    replaceBlock(m_document, m_document->findBlockByNumber(m_sectionsBlock), runs);
}

void ReviewDocument::writeSummary(const Marking &marking)
{
    const MistakeSummary summary = summarize(marking);
    QList<Run> runs;
    if (summary.wrong.isEmpty() && summary.unanswered.isEmpty()) {
        runs.append({QStringLiteral("全問正解"), textFormat(10, true)});
    } else {
        runs.append({QStringLiteral("間違えた問題　"), textFormat(10, true)});
        if (summary.wrong.isEmpty())
            runs.append({QStringLiteral("なし"), textFormat(10)});
        appendLinks(&runs, summary.wrong);
        runs.append({QString(lineSeparator) + QStringLiteral("無解答　"), textFormat(10, true)});
        if (summary.unanswered.isEmpty())
            runs.append({QStringLiteral("なし"), textFormat(10)});
        appendLinks(&runs, summary.unanswered);
    }
    replaceBlock(m_document, m_document->findBlockByNumber(m_summaryBlock + Summary), runs);
}

// Each section's minutes beside its share of the 60 by its points, as two bars on
// one scale: the longest of them, rounded up to five minutes.
void ReviewDocument::writeTiming(const std::optional<RunTiming> &timing)
{
    QList<Run> note;
    QList<Run> rows;
    if (!timing || !timing->hasStarted()) {
        note.append({QStringLiteral("時間の使い方は、スタートを押してから採点するまでの間だけ記録されます。"), textFormat(10)});
    } else {
        double longest = 0;
        for (int section = 1; section <= sectionCount; ++section)
            longest = qMax(longest, qMax(timing->sectionMs(section) / 60000.0, minutesByPoints(section)));
        const double scale = qMax(5.0, std::ceil(longest / 5) * 5);
        note.append({QStringLiteral("開始から採点まで %1。上の棒が使った時間、下の棒が配点による目安です（棒の長さいっぱいで%2分）。"
                                    "各設問の「開始から○分」は、その解答を最後に変えた時刻です。")
                         .arg(minutes(timing->runMs()))
                         .arg(scale),
                     textFormat(10)});
        for (int section = 1; section <= sectionCount; ++section) {
            const qint64 spent = timing->sectionMs(section);
            appendChartRow(&rows, QStringLiteral("第%1問").arg(section),
                           {{spent / 60000.0 / scale, spentBarColour}, {minutesByPoints(section) / scale, shareBarColour}},
                           QStringLiteral("使った時間 %1　目安 %2分").arg(minutes(spent)).arg(minutesByPoints(section), 0, 'f', 1));
        }
    }
    replaceBlock(m_document, m_document->findBlockByNumber(m_summaryBlock + TimingNote), note);
    replaceBlock(m_document, m_document->findBlockByNumber(m_summaryBlock + Timing), rows);
}

void ReviewDocument::writeTagScores(const Marking &marking)
{
    const QList<TagScore> eras = scoresByTag(marking, m_explanations.eras, eraNames());
    const QList<TagScore> themes = scoresByTag(marking, m_explanations.themes, themeNames());
    replaceBlock(m_document, m_document->findBlockByNumber(m_summaryBlock + Eras),
                 tagChart(QStringLiteral("時代別（得点の低い順）"), eras));
    replaceBlock(m_document, m_document->findBlockByNumber(m_summaryBlock + Themes),
                 tagChart(QStringLiteral("分野別（得点の低い順）"), themes));

    QList<Run> runs{{QStringLiteral("復習のポイント"), textFormat(10, true)}};
    bool any = false;
    for (const QList<TagScore> *scores : {&eras, &themes}) {
        for (const TagScore &score : *scores) {
            if (!score.needsStudy())
                continue;
            any = true;
            // Plain captions: the summary above links every one of them already.
            QStringList missed;
            for (int question : score.missed)
                missed << unbrokenCaption(question);
            runs.append({QString(lineSeparator)
                             + QStringLiteral("%1（%2％）　").arg(score.name).arg(qRound(100.0 * score.earned / score.possible))
                             + missed.join(QStringLiteral("、")),
                         textFormat(10)});
        }
    }
    if (!any)
        runs.append({QString(lineSeparator) + QStringLiteral("どの時代・分野も得点の60％以上を取れています。"), textFormat(10)});
    replaceBlock(m_document, m_document->findBlockByNumber(m_summaryBlock + StudyPoints), runs);
}

// A wrong answer's line is tinted and its "×" red, so it is found by colour and by word.
// Below the line, the student's answer in the booklet's words with when it last changed,
// and the reason for no points.
void ReviewDocument::writeQuestion(int question, const QuestionMarking &marking, const std::optional<RunTiming> &timing)
{
    const AnswerKeyRow &key = answerKey[size_t(question - 1)];
    const bool right = marking.points > 0;
    const QColor tint = right ? QColor() : wrongLineBackground;
    const QString columns = QStringLiteral("\tあなたの解答　") + ticksText(marking, key.choices)
                            + QStringLiteral("\t正解　") + circledDigit(key.correctBox) + QLatin1Char('\t');
    const QString result = (right ? QStringLiteral("○ ") : QStringLiteral("× ")) + outOf(marking.points, key.points);
    QList<Run> runs{{answerPageCaption(question), textFormat(10, true, Qt::black, tint)},
                    {columns, textFormat(10, false, Qt::black, tint)},
                    {result, textFormat(10, true, right ? QColor(Qt::black) : wrongMarkColour, tint)},
                    {QStringLiteral("\t"), textFormat(10, false, Qt::black, tint)}};

    // When the answer last changed closes its first line, in grey: "（開始から 23 分）".
    QString when;
    if (timing && timing->hasStarted() && timing->lastChangeMs(question) >= 0) {
        when = timing->changedAfterTimeUp(question)
                   ? QStringLiteral("（時間切れ後）")
                   : QStringLiteral("（開始から %1 分）").arg(timing->lastChangeMs(question) / 60000);
    }
    const Outcome outcome = outcomeOf(question, marking);
    for (const QString &answer : answerLines(question, marking, m_quotes.of(question))) {
        const bool reason = answer == reasonFor(outcome);
        runs.append({lineSeparator + answer, textFormat(9, reason, reason ? wrongMarkColour : QColor(Qt::black))});
        if (!when.isEmpty()) {
            runs.append({when, textFormat(9, false, quoteColour)});
            when.clear();
        }
    }
    replaceBlock(m_document, entryBlock(question), runs);
}
