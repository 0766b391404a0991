#include "bookletquotes.h"

#include <QRegularExpression>

namespace {

constexpr char16_t ideographicSpace = u'\u3000';

// 1..6 for "①".."⑥", else 0.
int circledValue(QChar c)
{
    return c.unicode() >= u'\u2460' && c.unicode() <= u'\u2465' ? c.unicode() - u'\u2460' + 1 : 0;
}

// The number that the digits, full-width or not, at the start of text make, and
// how many characters they take.
int leadingNumber(QStringView text, qsizetype *length)
{
    int value = 0;
    qsizetype i = 0;
    for (; i < text.size() && i < 3; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9')
            value = value * 10 + (c - u'0');
        else if (c >= u'\uff10' && c <= u'\uff19')
            value = value * 10 + (c - u'\uff10');
        else
            break;
    }
    *length = i;
    return i > 0 ? value : 0;
}

// n for a line that opens with "問n" and an ideographic space, else 0.
int questionHeading(QStringView line)
{
    if (!line.startsWith(u'問'))
        return 0;
    qsizetype length = 0;
    const int number = leadingNumber(line.mid(1), &length);
    return length > 0 && line.mid(1 + length).startsWith(QChar(ideographicSpace)) ? number : 0;
}

bool isStatement(QStringView line)
{
    static const QString marks = QStringLiteral("ＸＹⅠⅡⅢ");
    return line.size() > 2 && marks.contains(line[0]) && line[1] == QChar(ideographicSpace);
}

QString tidied(QString text)
{
    static const QRegularExpression spaces(QStringLiteral("\u3000{2,}"));
    text.replace(spaces, QStringLiteral("\u3000"));
    while (text.startsWith(QChar(ideographicSpace)))
        text.remove(0, 1);
    while (text.endsWith(QChar(ideographicSpace)))
        text.chop(1);
    return text;
}

// Appends the choices of one line to choices; false when a digit is out of turn.
bool appendChoices(QStringView line, QStringList *choices)
{
    qsizetype start = -1;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        const bool opensChoice = i < line.size() && circledValue(line[i]) > 0
                                 && (i == 0 || line[i - 1] == QChar(ideographicSpace));
        if (!opensChoice && i < line.size())
            continue;
        if (start >= 0)
            choices->append(tidied(line.mid(start + 1, i - start - 1).toString()));
        if (i < line.size()) {
            if (circledValue(line[i]) != choices->size() + 1)
                return false;
            start = i;
        }
    }
    return true;
}

int firstQuestionOf(int section)
{
    for (int n = 1; n <= questionCount; ++n) {
        if (sectionOf(n) == section)
            return n;
    }
    return 0;
}

} // namespace

int sectionOfHeading(QStringView line)
{
    if (!line.startsWith(u'第'))
        return 0;
    qsizetype length = 0;
    const int number = leadingNumber(line.mid(1), &length);
    return length > 0 && line.mid(1 + length).startsWith(u'問') && number >= 1 && number <= sectionCount ? number : 0;
}

BookletQuotes quoteBooklet(const QString &bookletText)
{
    BookletQuotes result;
    static const QRegularExpression lineBreaks(QStringLiteral("[\n\r\u2028\u2029]"));
    const QStringList lines = bookletText.split(lineBreaks);
    int section = 0;
    int question = 0;
    QuestionQuote *current = nullptr;
    const auto fail = [&result](const QString &why) {
        result.error = why;
        return result;
    };
    for (const QString &line : lines) {
        if (const int heading = sectionOfHeading(line)) {
            section = heading;
            current = nullptr;
            continue;
        }
        if (const int printed = questionHeading(line)) {
            if (++question > questionCount)
                return fail(QStringLiteral("more than %1 questions").arg(questionCount));
            if (sectionOf(question) != section || printed != question - firstQuestionOf(section) + 1)
                return fail(QStringLiteral("question %1 is printed as number %2 of section %3").arg(question).arg(printed).arg(section));
            current = &result.questions[size_t(question - 1)];
            current->instruction = line;
            continue;
        }
        if (!current)
            continue;
        if (line.isEmpty()) {
            current = nullptr;
        } else if (isStatement(line) && current->choices.isEmpty()) {
            current->statements.append(line);
        } else if (circledValue(line[0]) > 0) {
            if (!appendChoices(line, &current->choices))
                return fail(QStringLiteral("question %1: a choice out of turn").arg(question));
        }
    }
    if (question < questionCount)
        return fail(QStringLiteral("only %1 questions").arg(question));
    for (int n = 1; n <= questionCount; ++n) {
        const qsizetype found = result.of(n).choices.size();
        if (found != answerKey[size_t(n - 1)].choices)
            return fail(QStringLiteral("question %1 has %2 choices, the key %3").arg(n).arg(found).arg(answerKey[size_t(n - 1)].choices));
    }
    return result;
}
