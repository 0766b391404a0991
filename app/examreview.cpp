// The exam window's side of the review: the menu item that opens it, the marking it
// shows, which only Score (and Start, which clears it) changes, and the run's timing.
// The timing only watches: which booklet tab is shown, where the booklet is scrolled,
// which answer page is shown and which answers change, each noted with the time of
// the countdown's clock when it happens. It adds no timer and changes nothing shown.
#include "examwindow.h"

#include "bookletquotes.h"
#include "clock.h"
#include "reviewwindow.h"
#include "richtextview.h"
#include "runtimeerror.h"
#include "tabcontrol.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QScrollBar>
#include <QTextBlock>

namespace {

constexpr int figureTab = 1;

} // namespace

void ExamWindow::buildReviewMenuItem()
{
    m_reviewAction = m_gameMenu->addAction(QStringLiteral("解答・解説(&K)"));
    m_reviewAction->setObjectName(QStringLiteral("mnuReview"));
    connect(m_reviewAction, &QAction::triggered, this, guarded([this] { onReviewTriggered(); }));
    m_gameMenu->addSeparator();
}

void ExamWindow::watchRunForReview()
{
    connect(m_bookletTabs, &TabControl::currentChanged, this, &ExamWindow::noteSectionInSight);
    connect(m_answerTabs, &TabControl::currentChanged, this, &ExamWindow::noteSectionInSight);
    connect(m_bookletView->verticalScrollBar(), &QScrollBar::valueChanged, this, &ExamWindow::noteSectionInSight);
    for (int question = 1; question <= questionCount; ++question) {
        for (QCheckBox *box : m_pages[size_t(question - 1)].boxes) {
            if (box)
                connect(box, &QCheckBox::toggled, this,
                        [this, question] { m_runTiming.answerChanged(question, m_clock->monotonicMs()); });
        }
    }
}

// The paragraph of each section's heading, looked for once the whole booklet is read.
const std::array<int, sectionCount> &ExamWindow::sectionHeadingBlocks() const
{
    if (!m_sectionHeadingsFound) {
        m_bookletView->readWholeDocument();
        const QTextDocument *booklet = m_bookletView->document();
        for (QTextBlock block = booklet->begin(); block.isValid(); block = block.next()) {
            if (const int section = sectionOfHeading(block.text()))
                m_sectionHeadingBlocks[size_t(section - 1)] = block.blockNumber();
        }
        m_sectionHeadingsFound = true;
    }
    return m_sectionHeadingBlocks;
}

// With the figure shown, the section of the answer page; with the booklet shown, the
// section whose text fills most of its view.
int ExamWindow::sectionInSight() const
{
    if (m_bookletTabs->currentIndex() == figureTab)
        return sectionOf(m_answerTabs->currentIndex() + 1);
    m_bookletView->layOutWholeDocument();
    const QTextDocument *booklet = m_bookletView->document();
    std::array<qreal, sectionCount> tops{};
    for (int section = 1; section <= sectionCount; ++section) {
        const QTextBlock heading = booklet->findBlockByNumber(sectionHeadingBlocks()[size_t(section - 1)]);
        tops[size_t(section - 1)] = booklet->documentLayout()->blockBoundingRect(heading).top();
    }
    const int top = m_bookletView->verticalScrollBar()->value();
    return sectionInView(tops, top, top + m_bookletView->viewport()->height());
}

void ExamWindow::noteSectionInSight()
{
    if (m_runTiming.hasStarted())
        m_runTiming.look(sectionInSight(), m_clock->monotonicMs());
}

void ExamWindow::onReviewTriggered()
{
    if (!m_reviewWindow) {
        m_bookletView->readWholeDocument();
        m_reviewWindow = new ReviewWindow(m_bookletView->document()->toPlainText());
        m_reviewWindow->placeBeside(this, m_answerTabs->mapToGlobal(QPoint(0, 0)).y());
        m_reviewWindow->showMarking(m_lastMarking, m_runTiming);
    }
    m_reviewWindow->show();
    m_reviewWindow->raise();
    m_reviewWindow->activateWindow();
}

// Start clears the marking and begins the run's timing.
void ExamWindow::beginRun()
{
    const qint64 now = m_clock->monotonicMs();
    m_runTiming.start(now, m_countdown.monotonicMsAtZero());
    m_runTiming.look(sectionInSight(), now);
    m_lastMarking.reset();
    if (m_reviewWindow)
        m_reviewWindow->showMarking(m_lastMarking, m_runTiming);
}

// Score keeps what it found for the review and ends the run's timing.
void ExamWindow::keepMarking(const Marking &marking)
{
    m_runTiming.stop(m_clock->monotonicMs());
    m_lastMarking = marking;
    if (m_reviewWindow)
        m_reviewWindow->showMarking(m_lastMarking, m_runTiming);
}

void ExamWindow::unloadReviewWindow()
{
    if (m_reviewWindow)
        delete m_reviewWindow.data();
}

ReviewWindow *ExamWindow::reviewWindow() const
{
    return m_reviewWindow.data();
}
