#include "reviewwindow.h"

#include "appicon.h"
#include "fontmap.h"
#include "richtextview.h"
#include "windowaccessible.h"
#include "windowlayout.h"

#include <QLabel>
#include <QScrollBar>
#include <QStackedLayout>

ReviewWindow::ReviewWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_explanations(loadExplanations())
{
    fonts::installSubstitutions();
    installWindowAccessibility();
    setObjectName(QStringLiteral("frm解答解説"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("解答・解説"));
    setWindowIcon(applicationIcon());
    setFont(gothicFont(9, false));

    // Unlike the fixed layouts of the other windows, the review grows with its window.
    // The notice and the review are two pages: the review keeps its laid-out document
    // while the notice shows, so the next marking only rewrites the lines that change.
    m_lbl案内 = new QLabel(reviewNotice(), this);
    m_lbl案内->setObjectName(QStringLiteral("lbl案内"));
    m_lbl案内->setFont(gothicFont(10.5, false));
    m_lbl案内->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_lbl案内->setWordWrap(true);
    m_lbl案内->setMargin(12);
    m_lbl案内->setAutoFillBackground(true);
    m_lbl案内->setBackgroundRole(QPalette::Base);

    m_RichTextBox1 = new RichTextView(this);
    m_RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    m_RichTextBox1->setAccessibleName(QStringLiteral("解答・解説"));
    m_RichTextBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    m_pages = new QStackedLayout(this);
    m_pages->addWidget(m_lbl案内);
    m_pages->addWidget(m_RichTextBox1);

    closeOnEscape(this);

    showMarking(std::nullopt);
    centreOnScreen(this, 792, 573);
}

void ReviewWindow::showMarking(const std::optional<Marking> &marking)
{
    if (!marking) {
        m_pages->setCurrentWidget(m_lbl案内);
        return;
    }
    // Shown before it is written, so a pending resize lays out the old text, not the new.
    m_pages->setCurrentWidget(m_RichTextBox1);
    m_RichTextBox1->setFocus();
    if (!m_review)
        m_review.emplace(m_RichTextBox1->document(), m_explanations);
    m_RichTextBox1->rewrite([this, &marking](QTextDocument *) { m_review->show(*marking); });
    m_RichTextBox1->moveCursor(QTextCursor::Start);
    m_RichTextBox1->verticalScrollBar()->setValue(m_RichTextBox1->verticalScrollBar()->minimum());
}
