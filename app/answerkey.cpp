#include "answerkey.h"

QString answerPageCaption(int question)
{
    for (const Passage &p : passages) {
        if (question >= p.firstQuestion && question < p.firstQuestion + p.questions) {
            const int inSection = p.firstInSection + question - p.firstQuestion;
            return QStringLiteral("%1%2-問%3").arg(p.section).arg(QChar(p.letter)).arg(inSection);
        }
    }
    return {};
}

QString circledDigit(int box)
{
    return QString(QChar(0x2460 + box - 1));
}

int sectionPoints(int section)
{
    int sum = 0;
    for (const Passage &p : passages) {
        if (p.section != section)
            continue;
        for (int q = p.firstQuestion; q < p.firstQuestion + p.questions; ++q)
            sum += answerKey[q - 1].points;
    }
    return sum;
}

int sectionOf(int question)
{
    for (const Passage &p : passages) {
        if (question >= p.firstQuestion && question < p.firstQuestion + p.questions)
            return p.section;
    }
    return 0;
}

int verdictBandFor(const QString &scoreCaption)
{
    bool isNumber = false;
    const int score = scoreCaption.toInt(&isNumber);
    if (!isNumber)
        return 0;
    if (score == 100)
        return 1;
    if (score >= 80 && score <= 99)
        return 2;
    if (score >= 60 && score <= 79)
        return 3;
    if (score >= 40 && score <= 59)
        return 4;
    if (score >= 1 && score <= 39)
        return 5;
    if (score == 0)
        return 6;
    return 0;
}
