#include "explanations.h"

#include <QFile>
#include <QLoggingCategory>
#include <QMutex>
#include <QSet>

Q_LOGGING_CATEGORY(lcExam, "nihonshib.exam", QtWarningMsg)

namespace {

// The review goes on without the explanations it could not read; say why, once a source.
Explanations warnedAbout(const QString &path, Explanations explanations)
{
    if (explanations.error.isEmpty())
        return explanations;
    static QMutex mutex;
    static QSet<QString> warned;
    const QMutexLocker locker(&mutex);
    if (!warned.contains(path)) {
        warned.insert(path);
        qCWarning(lcExam).noquote() << "explanations of" << path << "not shown:" << explanations.error;
    }
    return explanations;
}

} // namespace

const QStringList &eraNames()
{
    static const QStringList names{QStringLiteral("原始・古代"), QStringLiteral("中世"), QStringLiteral("近世"),
                                   QStringLiteral("近代"), QStringLiteral("現代")};
    return names;
}

const QStringList &themeNames()
{
    static const QStringList names{QStringLiteral("政治"), QStringLiteral("外交"), QStringLiteral("社会・経済"),
                                   QStringLiteral("文化")};
    return names;
}

namespace {

// Reads one question's line into result; the reason it cannot, or an empty string.
QString parseQuestion(int question, const QList<QByteArray> &fields, Explanations *result)
{
    const AnswerKeyRow &key = answerKey[size_t(question - 1)];
    bool isNumber = false;
    if (fields.size() != 6 + key.choices || fields[0].toInt(&isNumber) != question || !isNumber)
        return QStringLiteral("line %1 is not the explanation of question %1").arg(question);
    const int era = int(eraNames().indexOf(QString::fromUtf8(fields[1])));
    const int theme = int(themeNames().indexOf(QString::fromUtf8(fields[2])));
    if (era < 0 || theme < 0)
        return QStringLiteral("question %1 has no known era and theme").arg(question);
    QList<ChoiceReason> choices;
    for (int box = 1; box <= key.choices; ++box) {
        const QString choice = QString::fromUtf8(fields[4 + box]);
        const bool right = choice.startsWith(QChar(0x25CB)); // ○
        if (right != (box == key.correctBox) || (!right && !choice.startsWith(QChar(0x00D7))))
            return QStringLiteral("question %1 does not mark its keyed choice alone as right").arg(question);
        choices.append({right, choice.mid(1)});
    }
    const size_t at = size_t(question - 1);
    result->eras[at] = era;
    result->themes[at] = theme;
    result->keywords[at] = QString::fromUtf8(fields[3]);
    result->studyPoints[at] = QString::fromUtf8(fields[4]);
    result->choices[at] = choices;
    result->texts[at] = QString::fromUtf8(fields.last());
    return {};
}

} // namespace

Explanations parseExplanations(const QByteArray &utf8)
{
    Explanations result;
    const QList<QByteArray> lines = utf8.split('\n');
    int expected = 1;
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        if (expected > questionCount) {
            result.error = QStringLiteral("more than %1 explanations").arg(questionCount);
            return result;
        }
        result.error = parseQuestion(expected, line.split('\t'), &result);
        if (!result.error.isEmpty())
            return result;
        ++expected;
    }
    if (expected <= questionCount)
        result.error = QStringLiteral("the explanations end before question %1").arg(expected);
    return result;
}

Explanations loadExplanations(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Explanations result;
        result.error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return warnedAbout(path, result);
    }
    return warnedAbout(path, parseExplanations(file.readAll()));
}
