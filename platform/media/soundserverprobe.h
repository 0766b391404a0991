#pragma once

#include <QDeadlineTimer>

// How the sound server answers a new client by the deadline. Qt Multimedia makes
// its first connection while holding a lock of its own, and waits half a minute for a
// server that accepts the connection and never answers; everything that needs that
// lock waits with it, the program's exit included. Asking first, with a deadline of
// our own, keeps Qt Multimedia away from such a server. A server that is not running
// is not started for us.
enum class SoundServerAnswer {
    Answers,
    // No server takes the connection: none is running (or it was killed).
    NotThere,
    // The connection is taken and nothing comes back by the deadline (a server stopped
    // or wedged), or the question was cancelled.
    Silent,
};
SoundServerAnswer askSoundServer(QDeadlineTimer deadline);
inline bool soundServerAnswers(QDeadlineTimer deadline)
{
    return askSoundServer(deadline) == SoundServerAnswer::Answers;
}

// Ends a question being asked in another thread at once (as if unanswered), and every
// later one: the program is closing. Safe to call from any thread.
void cancelSoundServerQuestions();
