#pragma once

// The exam as it is published: the choices, correct box and points of each question,
// the caption of its answer page, and the points of each section. Tests take their
// expectations from here, never from the program's own answer key.
struct KeyRow
{
    int choices;
    int correct;
    int points;
};
inline const KeyRow keyTable[36] = {
    {4, 4, 3}, {4, 2, 3}, {6, 4, 2}, {4, 2, 3}, {4, 1, 3}, {4, 4, 3}, {4, 3, 2}, {6, 5, 3}, {4, 4, 3},
    {4, 3, 3}, {4, 2, 3}, {4, 4, 3}, {4, 1, 2}, {4, 4, 3}, {4, 1, 3}, {4, 3, 3}, {4, 2, 3}, {4, 3, 3},
    {4, 4, 3}, {4, 2, 3}, {4, 2, 3}, {4, 1, 2}, {4, 3, 3}, {6, 6, 3}, {4, 1, 3}, {4, 4, 2}, {4, 1, 3},
    {4, 3, 3}, {6, 1, 2}, {4, 4, 3}, {4, 2, 2}, {4, 3, 3}, {4, 3, 3}, {4, 4, 3}, {4, 4, 2}, {4, 2, 3},
};

inline const char *const pageCaptions[36] = {
    "1A-問1", "1A-問2", "1B-問3", "1B-問4", "1C-問5", "1C-問6", "2A-問1", "2A-問2", "2A-問3",
    "2A-問4", "2B-問5", "2B-問6", "3A-問1", "3A-問2", "3A-問3", "3B-問4", "3B-問5", "3B-問6",
    "4A-問1", "4A-問2", "4A-問3", "4B-問4", "4B-問5", "4B-問6", "5A-問1", "5A-問2", "5A-問3",
    "5A-問4", "5B-問5", "5B-問6", "5C-問7", "5C-問8", "6A-問1", "6A-問2", "6B-問3", "6B-問4",
};

// 配点 of 第1問 .. 第6問.
inline const int sectionPointsTable[6] = {17, 17, 17, 17, 21, 11};
