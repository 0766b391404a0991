#pragma once

#include <array>
#include <QString>

// The answer key: one row for each of the 36 questions, fixed in the program.
struct AnswerKeyRow
{
    int choices;     // number of check boxes, 4 or 6
    int correctBox;  // the one box (1-based) that answers the question
    int points;      // earned only when that box alone is ticked
};

inline constexpr int questionCount = 36;

inline constexpr std::array<AnswerKeyRow, questionCount> answerKey = {{
    {4, 4, 3}, {4, 2, 3}, {6, 4, 2}, {4, 2, 3}, {4, 1, 3}, {4, 4, 3},             // section 1
    {4, 3, 2}, {6, 5, 3}, {4, 4, 3}, {4, 3, 3}, {4, 2, 3}, {4, 4, 3},             // section 2
    {4, 1, 2}, {4, 4, 3}, {4, 1, 3}, {4, 3, 3}, {4, 2, 3}, {4, 3, 3},             // section 3
    {4, 4, 3}, {4, 2, 3}, {4, 2, 3}, {4, 1, 2}, {4, 3, 3}, {6, 6, 3},             // section 4
    {4, 1, 3}, {4, 4, 2}, {4, 1, 3}, {4, 3, 3}, {6, 1, 2}, {4, 4, 3}, {4, 2, 2},
    {4, 3, 3},                                                                    // section 5
    {4, 3, 3}, {4, 4, 3}, {4, 4, 2}, {4, 2, 3},                                   // section 6
}};

constexpr int totalPoints()
{
    int sum = 0;
    for (const AnswerKeyRow &row : answerKey)
        sum += row.points;
    return sum;
}
static_assert(totalPoints() == 100, "the answer key must add up to 100 points");

// One reading passage of the booklet and the questions that follow it.
struct Passage
{
    int section;        // 1..6
    char letter;        // 'A', 'B', 'C'
    int firstQuestion;  // question number within the whole test, 1-based
    int questions;      // how many questions follow the passage
    int firstInSection; // the number the booklet prints for its first question (問1 ...)
};

inline constexpr std::array<Passage, 14> passages = {{
    {1, 'A', 1, 2, 1},  {1, 'B', 3, 2, 3},  {1, 'C', 5, 2, 5},
    {2, 'A', 7, 4, 1},  {2, 'B', 11, 2, 5},
    {3, 'A', 13, 3, 1}, {3, 'B', 16, 3, 4},
    {4, 'A', 19, 3, 1}, {4, 'B', 22, 3, 4},
    {5, 'A', 25, 4, 1}, {5, 'B', 29, 2, 5}, {5, 'C', 31, 2, 7},
    {6, 'A', 33, 2, 1}, {6, 'B', 35, 2, 3},
}};

// Caption of the answer page of question n (1..36): "1A-問1" ... "6B-問4".
QString answerPageCaption(int question);

// The circled digit of box k (1..6): "①" ... "⑥".
QString circledDigit(int box);

inline constexpr int sectionCount = 6;

// Points of one section (1..6) of the booklet, from the key.
int sectionPoints(int section);

// The section (1..6) that question n (1..36) belongs to; 0 for no question.
int sectionOf(int question);

// Marks one question: the boxes are read in ascending order and the first
// wrong tick, or the correct box left empty, ends the question with nothing.
// Only the correct box alone earns the question's points.
template <typename IsTicked>
bool answeredCorrectly(const AnswerKeyRow &row, IsTicked isTicked)
{
    for (int box = 1; box <= row.choices; ++box) {
        const bool ticked = isTicked(box);
        if (box == row.correctBox ? !ticked : ticked)
            return false;
    }
    // No test fired, so the correct box was ticked and no other one.
    return true;
}
