#pragma once

#include <optional>

// The verdict window (1..6) for a score, or 0 for none: 100 -> 1, 80-99 -> 2,
// 60-79 -> 3, 40-59 -> 4, 1-39 -> 5, 0 -> 6. No score (never marked, or cleared
// by Start) shows no window, nor does a number outside 0..100.
int verdictBandFor(std::optional<int> score);
