#include "soundserverprobe.h"

#include <pulse/context.h>
#include <pulse/mainloop.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <mutex>

namespace {

std::atomic<bool> cancelled{false};
// The loop of the question being asked, so that cancelling can wake it.
std::mutex askingLock;
pa_mainloop *askingLoop = nullptr;

// Runs the loop until the context is ready, has failed, or the deadline has passed.
SoundServerAnswer waitUntilReady(pa_mainloop *loop, pa_context *context, QDeadlineTimer deadline)
{
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY)
            return SoundServerAnswer::Answers;
        if (!PA_CONTEXT_IS_GOOD(state))
            return SoundServerAnswer::NotThere;
        if (deadline.hasExpired() || cancelled)
            return SoundServerAnswer::Silent;
        const qint64 leftUs = std::clamp<qint64>(deadline.remainingTimeNSecs() / 1000, 0, INT_MAX);
        if (pa_mainloop_prepare(loop, int(leftUs)) < 0 || pa_mainloop_poll(loop) < 0
            || pa_mainloop_dispatch(loop) < 0)
            return SoundServerAnswer::Silent;
    }
}

SoundServerAnswer ask(pa_mainloop *loop, QDeadlineTimer deadline)
{
    pa_context *context = pa_context_new(pa_mainloop_get_api(loop), "nihonshib");
    if (!context)
        return SoundServerAnswer::Silent;
    SoundServerAnswer answer = SoundServerAnswer::NotThere;
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0)
        answer = waitUntilReady(loop, context, deadline);
    pa_context_disconnect(context);
    pa_context_unref(context);
    return answer;
}

} // namespace

SoundServerAnswer askSoundServer(QDeadlineTimer deadline)
{
    pa_mainloop *loop = pa_mainloop_new();
    if (!loop)
        return SoundServerAnswer::Silent;
    {
        const std::lock_guard<std::mutex> locker(askingLock);
        askingLoop = loop;
    }
    const SoundServerAnswer answer = cancelled ? SoundServerAnswer::Silent : ask(loop, deadline);
    {
        const std::lock_guard<std::mutex> locker(askingLock);
        askingLoop = nullptr;
    }
    pa_mainloop_free(loop);
    return answer;
}

void cancelSoundServerQuestions()
{
    cancelled = true;
    const std::lock_guard<std::mutex> locker(askingLock);
    if (askingLoop)
        pa_mainloop_wakeup(askingLoop);
}
