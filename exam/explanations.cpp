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
        const qsizetype tab = line.indexOf('\t');
        bool isNumber = false;
        const int question = tab > 0 ? line.left(tab).toInt(&isNumber) : 0;
        if (!isNumber || question != expected) {
            result.error = QStringLiteral("line %1 is not the explanation of question %1").arg(expected);
            return result;
        }
        result.texts[size_t(question - 1)] = QString::fromUtf8(line.mid(tab + 1));
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
