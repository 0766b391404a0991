#pragma once

#include <QLoggingCategory>

// Failures of the sound device that the program rides over (a bad sound file, no
// sound server, an output that stopped) are logged here, each once per cause.
// QT_LOGGING_RULES="nihonshib.media.debug=true" shows the rest as well.
Q_DECLARE_LOGGING_CATEGORY(lcMedia)
