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
