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
        const QList<QByteArray> fields = line.split('\t');
        bool isNumber = false;
        const int question = fields.size() == 4 ? fields[0].toInt(&isNumber) : 0;
        if (!isNumber || question != expected) {
            result.error = QStringLiteral("line %1 is not the explanation of question %1").arg(expected);
            return result;
        }
        const int era = int(eraNames().indexOf(QString::fromUtf8(fields[1])));
        const int theme = int(themeNames().indexOf(QString::fromUtf8(fields[2])));
        if (era < 0 || theme < 0) {
            result.error = QStringLiteral("question %1 has no known era and theme").arg(question);
            return result;
        }
        result.eras[size_t(question - 1)] = era;
        result.themes[size_t(question - 1)] = theme;
        result.texts[size_t(question - 1)] = QString::fromUtf8(fields[3]);
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
