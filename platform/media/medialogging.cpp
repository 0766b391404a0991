#include "medialogging.h"

Q_LOGGING_CATEGORY(lcMedia, "nihonshib.media", QtInfoMsg)
