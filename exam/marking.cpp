#include "marking.h"

#include <stdexcept>

Marking markSheet(const std::array<TickedBoxes, questionCount> &ticks)
{
    Marking marking;
    for (int question = 1; question <= questionCount; ++question) {
        const AnswerKeyRow &row = answerKey[size_t(question - 1)];
        QuestionMarking &result = marking.question(question);
        // Boxes beyond the page's own count do not exist on the sheet.
        result.tickedBoxes = TickedBoxes(ticks[size_t(question - 1)] & ((1u << row.choices) - 1));
        const bool correct = answeredCorrectly(row, [&result](int box) { return result.isTicked(box); });
        result.points = correct ? row.points : 0;
    }
    for (const QuestionMarking &question : marking.questions) {
        if (qAddOverflow(marking.total, question.points, &marking.total))
            throw std::overflow_error("score total overflows");
    }
    return marking;
}
