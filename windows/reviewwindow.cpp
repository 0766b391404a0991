#include "reviewwindow.h"

#include "appicon.h"
#include "fontmap.h"
#include "reviewdocument.h"
#include "richtextview.h"
#include "windowlayout.h"

#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>

ReviewWindow::ReviewWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_explanations(loadExplanations())
{
    fonts::installSubstitutions();
    setObjectName(QStringLiteral("frm解答解説"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("解答・解説"));
    setWindowIcon(applicationIcon());
    setFont(gothicFont(9, false));

    // Unlike the fixed layouts of the other windows, the review grows with its window.
    m_RichTextBox1 = new RichTextView(this);
    m_RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    m_RichTextBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_RichTextBox1);

    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    showMarking(std::nullopt);
    setFocusProxy(m_RichTextBox1);
    m_RichTextBox1->setFocus();
    centreOnScreen(this, 792, 573);
}

void ReviewWindow::showMarking(const std::optional<Marking> &marking)
{
    if (marking)
        writeReview(m_RichTextBox1->document(), *marking, m_explanations);
    else
        writeReviewNotice(m_RichTextBox1->document());
    m_RichTextBox1->moveCursor(QTextCursor::Start);
    m_RichTextBox1->verticalScrollBar()->setValue(m_RichTextBox1->verticalScrollBar()->minimum());
}
