#pragma once

#include "answerkey.h"

#include <QtGlobal>
#include <array>

// What one press of Score found, kept for the review: per question the boxes that
// were ticked and the points earned, and the total written into the score label.
struct QuestionMarking
{
    quint8 tickedBoxes = 0; // bit k-1 set when box k (1..6) was ticked
    qint32 points = 0;      // the question's points when answered correctly, else 0

    bool isTicked(int box) const { return box >= 1 && box <= 6 && (tickedBoxes >> (box - 1)) & 1u; }
    void setTicked(int box, bool ticked)
    {
        const quint8 bit = quint8(1u << (box - 1));
        tickedBoxes = ticked ? quint8(tickedBoxes | bit) : quint8(tickedBoxes & ~bit);
    }
};

struct Marking
{
    std::array<QuestionMarking, questionCount> questions{};
    qint32 total = 0;

    // question: 1..36.
    const QuestionMarking &question(int n) const { return questions[size_t(n - 1)]; }
    QuestionMarking &question(int n) { return questions[size_t(n - 1)]; }

    // Points earned in one section (1..6), to set against sectionPoints().
    qint32 sectionScore(int section) const
    {
        qint32 sum = 0;
        for (int n = 1; n <= questionCount; ++n) {
            if (sectionOf(n) == section)
                sum += question(n).points;
        }
        return sum;
    }
};

// The boxes ticked on one answer page: bit k-1 set when box k (1..6) is ticked.
using TickedBoxes = quint8;

// Marks the answer sheet against the key: per question the ticks and the points,
// and their total. A total that does not fit throws std::overflow_error, which the
// program reports as a run-time error.
Marking markSheet(const std::array<TickedBoxes, questionCount> &ticks);

