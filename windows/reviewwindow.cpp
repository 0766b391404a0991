#include "reviewwindow.h"

#include "richtextview.h"
#include "windowlayout.h"

#include <QLabel>
#include <QScrollBar>
#include <QStackedLayout>

ReviewWindow::ReviewWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_explanations(loadExplanations())
{
    setUpSecondaryWindow(this, QStringLiteral("frm解答解説"), QStringLiteral("解答・解説"));
    setFont(gothicFont(9, false));

    // Unlike the fixed layouts of the other windows, the review grows with its window.
    // The notice and the review are two pages: the review keeps its laid-out document
    // while the notice shows, so the next marking only rewrites the lines that change.
    m_noticeLabel = new QLabel(reviewNotice(), this);
    m_noticeLabel->setObjectName(QStringLiteral("lbl案内"));
    m_noticeLabel->setFont(gothicFont(10.5, false));
    m_noticeLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_noticeLabel->setWordWrap(true);
    m_noticeLabel->setMargin(12);
    m_noticeLabel->setAutoFillBackground(true);
    m_noticeLabel->setBackgroundRole(QPalette::Base);

    m_reviewView = new RichTextView(this);
    m_reviewView->setObjectName(QStringLiteral("RichTextBox1"));
    m_reviewView->setAccessibleName(QStringLiteral("解答・解説"));
    m_reviewView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    m_pages = new QStackedLayout(this);
    m_pages->addWidget(m_noticeLabel);
    m_pages->addWidget(m_reviewView);


    showMarking(std::nullopt);
    centreOnScreen(this, 792, 573);
}

void ReviewWindow::showMarking(const std::optional<Marking> &marking)
{
    if (!marking) {
        m_pages->setCurrentWidget(m_noticeLabel);
        return;
    }
    // Shown before it is written, so a pending resize lays out the old text, not the new.
    m_pages->setCurrentWidget(m_reviewView);
    m_reviewView->setFocus();
    if (!m_review)
        m_review.emplace(m_reviewView->document(), m_explanations);
    m_reviewView->rewrite([this, &marking](QTextDocument *) { m_review->show(*marking); });
    m_reviewView->moveCursor(QTextCursor::Start);
    m_reviewView->verticalScrollBar()->setValue(m_reviewView->verticalScrollBar()->minimum());
}
