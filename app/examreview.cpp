// The exam window's side of the review: the menu item that opens it, and the
// marking it shows, which only Score (and Start, which clears it) changes.
#include "examwindow.h"

#include "reviewwindow.h"
#include "runtimeerror.h"

#include <QAction>
#include <QMenu>

void ExamWindow::buildReviewMenuItem()
{
    m_reviewAction = m_gameMenu->addAction(QStringLiteral("解答・解説(&K)"));
    m_reviewAction->setObjectName(QStringLiteral("mnuReview"));
    connect(m_reviewAction, &QAction::triggered, this, guarded([this] { onReviewTriggered(); }));
    m_gameMenu->addSeparator();
}

void ExamWindow::onReviewTriggered()
{
    if (!m_reviewWindow) {
        m_reviewWindow = new ReviewWindow;
        m_reviewWindow->showMarking(m_lastMarking);
    }
    m_reviewWindow->show();
    m_reviewWindow->raise();
    m_reviewWindow->activateWindow();
}

void ExamWindow::keepMarking(const std::optional<Marking> &marking)
{
    m_lastMarking = marking;
    if (m_reviewWindow)
        m_reviewWindow->showMarking(m_lastMarking);
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
