#pragma once

#include <QString>
#include <optional>

// What a screen reader is told, in the exam's own words, at moments a sighted
// student notices by a glance: the countdown passing its last minutes, the time
// asked for, an answer page chosen.

// Said as the countdown reaches these minutes: "残り10分です" at 0:10, "残り5分です"
// at 0:05, "残り1分です" at 0:01 and "時間です" at 0:00; nothing at the others.
std::optional<QString> countdownAnnouncement(int minutesLeft);

// The answer to the time key: the minutes the remaining-time label shows, none
// while it is empty (before Start, and after Score). "残り時間 0:37", "時間切れ" at
// 0:00, "開始前" with none.
QString remainingTimeReport(std::optional<int> minutesShown);

// An answer page as it is chosen: its caption and what is ticked on it,
// "1A-問2 未解答" or "1A-問2 解答 ①" (ticked: the circled digits, in order).
QString answerPageReport(const QString &caption, const QString &ticked);
