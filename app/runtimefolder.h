#pragma once

namespace startup {

// Where the toolkit keeps its sockets and such (XDG_RUNTIME_DIR): the login's
// folder when the environment lost it, or else a private folder (0700) in TMPDIR
// that is removed when the program ends, so the toolkit does not leave a folder
// of its own in /tmp.
void provideRuntimeFolder();

// Removes the private folder now, for an end that skips the usual clean-up.
void removeRuntimeFolder();

} // namespace startup
