#pragma once

// One exam window for each test function, on a clock the test moves by hand: the
// set-up every test of the exam window shares.
#include "examwindow.h"
#include "fakeclock.h"

#include <QObject>
#include <QtTest>

class ExamWindowFixture : public QObject
{
    Q_OBJECT

protected:
    // A fresh clock and window, shown; with the focus too when a test types.
    bool openWindow(bool active = false)
    {
        m_clock = FakeClock();
        m_window = new ExamWindow(&m_clock);
        m_window->show();
        if (!active)
            return QTest::qWaitForWindowExposed(m_window);
        m_window->activateWindow();
        return QTest::qWaitForWindowActive(m_window);
    }

    void closeWindow()
    {
        delete m_window;
        m_window = nullptr;
    }

    FakeClock m_clock;
    ExamWindow *m_window = nullptr;

private slots:
    // QtTest finds these by name, also in a derived test class, which may declare its own.
    void init() { QVERIFY(openWindow()); }
    void cleanup() { closeWindow(); }
};
