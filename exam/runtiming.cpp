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
    if (until <= m_accountedUpToMs)
        return;
    if (!m_looks.isEmpty() && m_looks.last().section == m_section && m_looks.last().untilMs == m_accountedUpToMs)
        m_looks.last().untilMs = until;
    else
        m_looks.append({m_accountedUpToMs, until, m_section});
    m_accountedUpToMs = until;
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
    if (!m_stopped && nowMs < m_endMs && (m_changes.isEmpty() || m_changes.last().section != sectionOf(question)
                                          || m_changes.last().ms != nowMs))
        m_changes.append({qMax(nowMs, m_startMs), sectionOf(question)});
}

std::array<qint64, sectionCount> RunTiming::sectionTimes() const
{
    std::array<qint64, sectionCount> times{};
    // The changes split each look: every piece lies between the change before it
    // (if any) and the one after it (if any).
    qsizetype next = 0;
    for (const Look &look : m_looks) {
        qint64 from = look.fromMs;
        while (from < look.untilMs) {
            while (next < m_changes.size() && m_changes[next].ms <= from)
                ++next;
            const qint64 until = next < m_changes.size() ? qMin(look.untilMs, m_changes[next].ms) : look.untilMs;
            const int before = next > 0 ? m_changes[next - 1].section : 0;
            const int after = next < m_changes.size() ? m_changes[next].section : 0;
            const bool answeringEarlier = before > 0 && before == after && after < look.section;
            times[size_t((answeringEarlier ? after : look.section) - 1)] += until - from;
            from = until;
        }
    }
    return times;
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
