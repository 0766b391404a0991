#include "runtiming.h"

#include <limits>

void RunTiming::start(qint64 startMs, qint64 endMs)
{
    const int section = m_section;
    *this = RunTiming();
    m_started = true;
    m_startMs = startMs;
    m_endMs = qMax(startMs, endMs);
    m_accountedUpToMs = startMs;
    m_section = section;
    m_lastChangeMs.fill(-1);
}

// The time since the last report goes to the section that was in view, up to the
// run's end: a clock that steps back never takes time away.
void RunTiming::account(qint64 nowMs)
{
    if (!m_started || m_stopped)
        return;
    const qint64 until = qMin(nowMs, m_endMs);
    if (until > m_accountedUpToMs) {
        m_sectionMs[size_t(m_section - 1)] += until - m_accountedUpToMs;
        m_accountedUpToMs = until;
    }
}

void RunTiming::look(int section, qint64 nowMs)
{
    if (section < 1 || section > sectionCount)
        return;
    account(nowMs);
    m_section = section;
}

void RunTiming::answerChanged(int question, qint64 nowMs)
{
    if (!m_started || question < 1 || question > questionCount)
        return;
    m_lastChangeMs[size_t(question - 1)] = qMax<qint64>(0, nowMs - m_startMs);
}

void RunTiming::stop(qint64 nowMs)
{
    account(nowMs);
    m_stopped = m_started;
}

qint64 RunTiming::runMs() const
{
    return m_accountedUpToMs - m_startMs;
}

bool RunTiming::changedAfterTimeUp(int question) const
{
    const qint64 change = lastChangeMs(question);
    return change >= 0 && m_startMs + change >= m_endMs;
}

int sectionInView(const std::array<qreal, sectionCount> &headingTops, qreal viewTop, qreal viewBottom)
{
    int best = 1;
    qreal bestOverlap = -1;
    for (int section = 1; section <= sectionCount; ++section) {
        const qreal top = section == 1 ? -std::numeric_limits<qreal>::infinity() : headingTops[size_t(section - 1)];
        const qreal bottom = section == sectionCount ? std::numeric_limits<qreal>::infinity()
                                                     : headingTops[size_t(section)];
        const qreal overlap = qMin(bottom, viewBottom) - qMax(top, viewTop);
        if (overlap > bestOverlap) {
            bestOverlap = overlap;
            best = section;
        }
    }
    return best;
}
