#pragma once

#include <QObject>
#include <QtGlobal>

#include <functional>

class QWidget;

namespace bench {

// Under X, returns once the server has carried out every request sent before
// (one round trip); elsewhere at once.
void waitForWindowSystem();

// The first frame of a window as the user sees it: the watched widget painted,
// the backing store flushed to the window system, and, under X, the server done
// with every request sent before (one round trip), so the pixels are on screen.
// Then done() runs once, with the moment of the first paint.
class FirstFrame : public QObject
{
public:
    FirstFrame(QWidget *watched, std::function<void(qint64 paintNs)> done);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void frameOut();

    QWidget *m_watched = nullptr;
    qint64 m_paintNs = 0;
    std::function<void(qint64)> m_done;
};

// One start-up line, as measure.py reads it, printed and flushed; then the process
// ends at once, as neither the program nor the floor would be timed on its way out.
[[noreturn]] void reportStartupAndExit(const char *mode, qint64 startNs, qint64 appNs, qint64 windowNs,
                                        qint64 paintNs, QWidget *window, const QString &extra = QString());

} // namespace bench
