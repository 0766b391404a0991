#pragma once

#include <QAbstractNativeEventFilter>

// Another program may destroy one of our windows on the X server (xdotool windowclose,
// XDestroyWindow, a window manager giving up on it). The toolkit still takes such a
// window for shown, so showing it again would do nothing: the window is closed, as if
// by its title bar, and a secondary window opens afresh on the next request. The exam
// window, closed so, ends the program as its menu's 終了 would.
class LostWindowWatch : public QAbstractNativeEventFilter
{
public:
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;
};
