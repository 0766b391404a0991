#pragma once

#include <QString>

// Controls are found by the names the window layouts give them, most of them Japanese.
inline QString name(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
