#pragma once

#include "displaycheck.h"
#include "sessionsetup.h"

// What the program settles before the application object exists: that it
// leaves no trace in the user's session, that it looks the same in every
// locale, and that it says plainly when it cannot run.
namespace startup {

// All of the above, the display checked before the fonts are set up; false when the
// program should end with status 1.
// Until toolkitStarted(), the display check's connection is held. A toolkit that fails,
// at its start or later, says so in the program's words and ends with status 1.
bool prepare(int argc, char *argv[]);

// The application object exists: the toolkit has its own display connection. False, with
// the program's message, when the platform has no screen: the program should end with status 1.
bool toolkitStarted();

} // namespace startup
