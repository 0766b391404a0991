#pragma once

namespace startup {

// Where the toolkit keeps its sockets and such (XDG_RUNTIME_DIR): the login's
// folder when the environment lost it, or else a private folder (0700) in TMPDIR
// that is removed when the program ends, so the toolkit does not leave a folder
// of its own in /tmp. Once the private folder exists, SIGTERM, SIGINT and SIGHUP
// (unless ignored) remove it too and then end the process as the signal would
// have; see quitOnTerminatingSignals() for a program with an event loop.
void provideRuntimeFolder();

// Removes the private folder now, for an end that skips the usual clean-up.
void removeRuntimeFolder();

// From now on the first of those signals ends the application's event loops
// instead, so the program goes through its usual clean-up (the audio thread
// stopped, the windows and the folder removed); a second one ends it at once.
// Call once the application object exists.
void quitOnTerminatingSignals();

// When a terminating signal ended the event loop: removes the private folder and
// ends the process by that signal, as the conventional exit status of one stopped
// that way. Returns otherwise.
void endAsSignalled();

} // namespace startup
