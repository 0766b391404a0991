#pragma once

#include <QString>

// The program folder as text ending in exactly one separator, so a file name
// can be appended to it directly, as the exam window does for its sound.
QString withTrailingSeparator(const QString &folder);
