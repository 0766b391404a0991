#include "reviewwindow.h"

#include "announcer.h"
#include "barchart.h"
#include "richtextview.h"
#include "windowlayout.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QStackedLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcReview, "nihonshib.review")

ReviewWindow::ReviewWindow(const QString &bookletText, QWidget *parent)
    : QWidget(parent, Qt::Window), m_explanations(loadExplanations()), m_quotes(quoteBooklet(bookletText))
{
    setUpSecondaryWindow(this, QStringLiteral("frm解答解説"), QStringLiteral("解答・解説"));
    setFont(gothicFont(9, false));
    if (!m_quotes.error.isEmpty())
        qCWarning(lcReview) << "the booklet cannot be quoted:" << m_quotes.error;
    if (!m_explanations.error.isEmpty())
        qCWarning(lcReview) << "the explanations cannot be read:" << m_explanations.error;

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
    m_reviewView->installEventFilter(this);
    m_reviewView->viewport()->installEventFilter(this);
    m_announcer = new Announcer(this);

    auto *menuBar = new QMenuBar(this);
    QMenu *fileMenu = menuBar->addMenu(QStringLiteral("ファイル(&F)"));
    fileMenu->setObjectName(QStringLiteral("mnuFile"));
    m_printAction = fileMenu->addAction(QStringLiteral("印刷(&P)…"));
    m_printAction->setObjectName(QStringLiteral("mnuPrint"));
    m_printAction->setShortcut(QKeySequence::Print);
    m_printAction->setEnabled(false);
    connect(m_printAction, &QAction::triggered, this, &ReviewWindow::onPrintTriggered);

    m_pages = new QStackedLayout;
    m_pages->addWidget(m_noticeLabel);
    m_pages->addWidget(m_reviewView);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar);
    layout->addLayout(m_pages);

    showMarking(std::nullopt);
    centreOnScreen(this, 792, 573);
}

void ReviewWindow::showMarking(const std::optional<Marking> &marking, const std::optional<RunTiming> &timing)
{
    m_printAction->setEnabled(marking.has_value());
    if (!marking) {
        m_pages->setCurrentWidget(m_noticeLabel);
        m_fromTheTop = true;
        return;
    }
    // Shown before it is written, so a pending resize lays out the old text, not the new.
    m_pages->setCurrentWidget(m_reviewView);
    m_reviewView->setFocus();
    if (!m_review)
        m_review.emplace(m_reviewView->document());

    // The reading place is the paragraph at the top of the view and how far into it the
    // view stands, as a share of its height: lines above it may grow or shrink.
    QScrollBar *scroll = m_reviewView->verticalScrollBar();
    QAbstractTextDocumentLayout *layout = m_reviewView->document()->documentLayout();
    const QTextBlock topBlock = m_reviewView->cursorForPosition(QPoint(0, 0)).block();
    const int topNumber = topBlock.blockNumber();
    const QRectF topRect = layout->blockBoundingRect(topBlock);
    const qreal into = topRect.height() > 0 ? (scroll->value() - topRect.top()) / topRect.height() : 0;

    const ReviewReport report = makeReviewReport(*marking, timing, m_explanations, m_quotes);
    m_reviewView->rewrite([this, &report](QTextDocument *) { m_review->show(report); });
    if (m_fromTheTop) {
        m_reviewView->moveCursor(QTextCursor::Start);
        scroll->setValue(scroll->minimum());
        m_fromTheTop = false;
        return;
    }
    const QRectF newRect = layout->blockBoundingRect(m_reviewView->document()->findBlockByNumber(topNumber));
    scroll->setValue(qRound(newRect.top() + into * newRect.height()));
}

void ReviewWindow::placeBeside(const QWidget *mainWindow, int keepVisibleTop)
{
    QScreen *screen = mainWindow->screen() ? mainWindow->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    winId();
    const QRect mainFrame = mainWindow->frameGeometry();
    const QSize border = frameGeometry().size() - size();
    const QRect frame = frameBeside(mainFrame, frameGeometry().size(), screen->availableGeometry(), keepVisibleTop,
                                    frameGeometry().height() / 2);
    resize(frame.size() - border);
    move(frame.topLeft());
}

void ReviewWindow::print(QPagedPaintDevice *printer) const
{
    // A copy at the document's own sizes, since the zoom scales the text in place; it
    // draws its charts with a handler of its own, which printing lays out anew for the
    // printer's resolution, so the bars are as sharp as the text.
    const int zoom = m_reviewView->zoomPercent();
    m_reviewView->setZoomPercent(100);
    std::unique_ptr<QTextDocument> copy(m_reviewView->document()->clone());
    m_reviewView->setZoomPercent(zoom);
    BarChart::install(copy.get());
    copy->print(printer);
}

void ReviewWindow::onPrintTriggered()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(windowTitle());
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("印刷"));
    if (dialog.exec() == QDialog::Accepted)
        print(&printer);
}

void ReviewWindow::showQuestion(int question)
{
    const QTextBlock entry = m_review->entryBlock(question);
    const QRectF rect = m_reviewView->document()->documentLayout()->blockBoundingRect(entry);
    QScrollBar *scroll = m_reviewView->verticalScrollBar();
    scroll->setValue(qMin(scroll->maximum(), qRound(rect.top())));
}

// The question whose caption link stands at the caret, on either side of it; 0 if none.
int ReviewWindow::linkAtCaret() const
{
    QTextCursor after = m_reviewView->textCursor();
    after.clearSelection();
    const QTextCursor before = after;
    after.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    const int question = ReviewDocument::questionOfLink(after.charFormat().anchorHref());
    return question > 0 ? question : ReviewDocument::questionOfLink(before.charFormat().anchorHref());
}

// A click on a question's caption in the summary or the study points shows its entry;
// so does Return with the caret on the caption, which also takes the caret to the entry
// so that reading on with the arrows starts there. A screen reader does not read a line
// the caret reaches by Return, so the entry's first line is announced.
bool ReviewWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_reviewView->viewport() && m_review && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const int question = ReviewDocument::questionOfLink(m_reviewView->anchorAt(mouse->position().toPoint()));
        if (mouse->button() == Qt::LeftButton && question > 0 && !m_reviewView->textCursor().hasSelection()) {
            showQuestion(question);
            return true;
        }
    }
    if (watched == m_reviewView && m_review && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        const int question = enter && plain ? linkAtCaret() : 0;
        if (question > 0) {
            const QTextBlock entry = m_review->entryBlock(question);
            m_reviewView->setTextCursor(QTextCursor(entry));
            showQuestion(question);
            QString firstLine = entry.text().section(QChar::LineSeparator, 0, 0);
            m_announcer->announce(firstLine.replace(QLatin1Char('\t'), QLatin1Char(' ')));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
