#include "verdict.h"

int verdictBandFor(std::optional<int> score)
{
    if (!score)
        return 0;
    const int points = *score;
    if (points == 100)
        return 1;
    if (points >= 80 && points <= 99)
        return 2;
    if (points >= 60 && points <= 79)
        return 3;
    if (points >= 40 && points <= 59)
        return 4;
    if (points >= 1 && points <= 39)
        return 5;
    if (points == 0)
        return 6;
    return 0;
}
