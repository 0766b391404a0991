#include "announcements.h"

#include "countdown.h"

std::optional<QString> countdownAnnouncement(int minutesLeft)
{
    switch (minutesLeft) {
    case 10:
    case 5:
    case 1:
        return QStringLiteral("残り%1分です").arg(minutesLeft);
    case 0:
        return QStringLiteral("時間です");
    default:
        return std::nullopt;
    }
}

QString remainingTimeReport(std::optional<int> minutesShown)
{
    if (!minutesShown)
        return QStringLiteral("開始前");
    if (*minutesShown <= 0)
        return QStringLiteral("時間切れ");
    return QStringLiteral("残り時間 %1").arg(remainingTimeCaption(*minutesShown));
}

QString answerPageReport(const QString &caption, const QString &ticked)
{
    if (ticked.isEmpty())
        return caption + QStringLiteral(" 未解答");
    return caption + QStringLiteral(" 解答 ") + ticked;
}
