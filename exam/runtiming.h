#pragma once

#include "answerkey.h"

#include <QList>
#include <QtGlobal>
#include <array>

// Where the minutes of one run went. The exam window reports what the student looks
// at and which answers change, with the time of its clock at each report; nothing
// here keeps time by itself. Every moment of the run from Start until Score, or
// until 0:00 when that comes first, belongs to the section in view at that moment,
// but for one case: a student who reads ahead while still ticking the answers of an
// earlier section is working on that section. A moment with a later section in view
// that falls between two answer changes of the same earlier section belongs to that
// section. The sections' times still add up to the run.
class RunTiming
{
public:
    // Start: the run begins at startMs and its time is up at endMs (0:00).
    void start(qint64 startMs, qint64 endMs);
    // From nowMs on the student looks at section (1..6).
    void look(int section, qint64 nowMs);
    // A box of the question (1..36) was ticked or cleared at nowMs.
    void answerChanged(int question, qint64 nowMs);
    // Score: the run's minutes end at nowMs (or at 0:00, when that was earlier).
    void stop(qint64 nowMs);

    bool hasStarted() const { return m_started; }
    // Milliseconds of the run spent on a section (1..6), up to the stop.
    qint64 sectionMs(int section) const { return sectionTimes()[size_t(section - 1)]; }
    std::array<qint64, sectionCount> sectionTimes() const;
    // From Start until the stop; the sections' times add up to it.
    qint64 runMs() const;
    // Whether the run went on until 0:00.
    bool ranOutOfTime() const { return m_started && m_accountedUpToMs >= m_endMs; }

    // When the question's answer last changed, in ms after Start; -1 when it did not change.
    qint64 lastChangeMs(int question) const { return m_lastChangeMs[size_t(question - 1)]; }
    // Whether that change came at 0:00 or later.
    bool changedAfterTimeUp(int question) const;

private:
    void account(qint64 nowMs);

    // From fromMs until untilMs the section was in view.
    struct Look
    {
        qint64 fromMs;
        qint64 untilMs;
        int section;
    };
    // At ms an answer of the section changed.
    struct Change
    {
        qint64 ms;
        int section;
    };

    bool m_started = false;
    bool m_stopped = false;
    qint64 m_startMs = 0;
    qint64 m_endMs = 0;
    qint64 m_accountedUpToMs = 0;
    int m_section = 1;
    QList<Look> m_looks;
    QList<Change> m_changes; // before the run's end, in the order they came
    std::array<qint64, questionCount> m_lastChangeMs{};
};

// The section (1..6) whose text fills most of a view of the booklet from viewTop to
// viewBottom, given where each section's heading stands (section k at k - 1, in
// ascending order). Whatever stands above the first heading belongs to section 1;
// a tie goes to the earlier section.
int sectionInView(const std::array<qreal, sectionCount> &headingTops, qreal viewTop, qreal viewBottom);
