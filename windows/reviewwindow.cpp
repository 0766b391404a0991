#include "reviewwindow.h"

#include "announcer.h"
#include "barchart.h"
#include "reviewprint.h"
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
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

Q_LOGGING_CATEGORY(lcReview, "nihonshib.review")

namespace {

// How many places Alt+Left can go back through.
constexpr int historyLength = 100;
// Entries rewritten at a time once a marking's frame is out, and when that begins
// should no frame come (the window covered).
constexpr int entriesPerStep = 4;
constexpr int pendingWithoutFrameMs = 50;

// Text as a screen reader should say it: no tabs.
QString spoken(QString text)
{
    return text.replace(QLatin1Char('\t'), QLatin1Char(' '));
}

// The line of its paragraph the caret stands on, up to the line breaks around it.
QString lineAt(const QTextCursor &caret)
{
    const QString text = caret.block().text();
    const int at = caret.position() - caret.block().position();
    const int start = at > 0 ? text.lastIndexOf(QChar::LineSeparator, at - 1) + 1 : 0;
    const int end = text.indexOf(QChar::LineSeparator, at);
    return spoken(text.mid(start, end < 0 ? -1 : end - start));
}

} // namespace

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
    m_rewriteTimer = new QTimer(this);
    m_rewriteTimer->setSingleShot(true);
    connect(m_rewriteTimer, &QTimer::timeout, this, &ReviewWindow::writePendingEntries);

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
    // Places in the old text: a new marking may move them.
    m_history.clear();
    m_score = marking ? marking->total : 0;
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

    const ReviewReport report = makeReviewReport(*marking, timing, m_explanations, m_quotes);
    // A new marking shows at once in what is in sight; the other entries follow while
    // the program is idle. Zoomed, every rewrite scales the document: all goes at once.
    const bool inSightFirst = isVisible() && m_reviewView->zoomPercent() == 100;
    const QList<int> first = inSightFirst ? entriesInSight(m_fromTheTop ? 0 : m_reviewView->verticalScrollBar()->value())
                                          : QList<int>{};
    keepReadingPlace([this, &report, &first, inSightFirst] {
        m_reviewView->rewrite([&](QTextDocument *) {
            if (inSightFirst)
                m_review->show(report, first);
            else
                m_review->show(report);
        });
    });
    if (m_review->hasPending())
        m_rewriteTimer->start(pendingWithoutFrameMs);
    if (m_fromTheTop) {
        m_reviewView->moveCursor(QTextCursor::Start);
        m_reviewView->verticalScrollBar()->setValue(0);
        m_fromTheTop = false;
    }
}

// The questions whose entries show in a view from top, or start just below it.
QList<int> ReviewWindow::entriesInSight(int top) const
{
    QAbstractTextDocumentLayout *layout = m_reviewView->document()->documentLayout();
    const int bottom = top + 2 * m_reviewView->viewport()->height();
    QList<int> inSight;
    for (int n = 1; n <= questionCount; ++n) {
        const qreal start = layout->blockBoundingRect(m_review->entryBlock(n)).top();
        const qreal end = n < questionCount ? layout->blockBoundingRect(m_review->entryBlock(n + 1)).top() : qreal(bottom);
        if (end >= top && start <= bottom)
            inSight << n;
    }
    return inSight;
}

void ReviewWindow::writePendingEntries()
{
    keepReadingPlace([this] { m_reviewView->rewrite([this](QTextDocument *) { m_review->writePending(entriesPerStep); }); });
    if (m_review->hasPending())
        m_rewriteTimer->start(0);
}

// Whatever reads or prints the review, or takes the reader elsewhere in it, needs it whole.
void ReviewWindow::finishRewrite()
{
    m_rewriteTimer->stop();
    if (m_review && m_review->hasPending())
        keepReadingPlace([this] { m_reviewView->rewrite([this](QTextDocument *) { m_review->writePending(questionCount); }); });
}

// The reading place is the paragraph at the top of the view and how far into it the
// view stands, as a share of its height: lines above it may grow or shrink.
void ReviewWindow::keepReadingPlace(const std::function<void()> &write)
{
    QScrollBar *scroll = m_reviewView->verticalScrollBar();
    QAbstractTextDocumentLayout *layout = m_reviewView->document()->documentLayout();
    const QTextBlock topBlock = m_reviewView->cursorForPosition(QPoint(0, 0)).block();
    const int topNumber = topBlock.blockNumber();
    const QRectF topRect = layout->blockBoundingRect(topBlock);
    const qreal into = topRect.height() > 0 ? (scroll->value() - topRect.top()) / topRect.height() : 0;
    write();
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

void ReviewWindow::print(QPagedPaintDevice *printer)
{
    finishRewrite();
    // A copy at the document's own sizes, since the zoom scales the text in place; it
    // draws its charts with a handler of its own, which printing lays out anew for the
    // printer's resolution, so the bars are as sharp as the text.
    const int zoom = m_reviewView->zoomPercent();
    m_reviewView->setZoomPercent(100);
    std::unique_ptr<QTextDocument> copy(m_reviewView->document()->clone());
    m_reviewView->setZoomPercent(zoom);
    BarChart::install(copy.get());
    QList<int> entryStarts;
    for (int question = 1; m_review && question <= questionCount; ++question)
        entryStarts.append(m_review->entryBlock(question).blockNumber());
    // The copy's blocks are the review's, one for one, unless cloning changed them.
    if (copy->blockCount() != m_reviewView->document()->blockCount()) {
        qCWarning(lcReview) << "the copy for printing has other blocks; entries may be split across pages";
        entryStarts.clear();
    }
    printReview(copy.get(), entryStarts, {QDate::currentDate(), m_score}, printer);
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
// so does Return with the caret on the caption (or the caption selected by Tab), which
// also takes the caret to the entry so that reading on with the arrows starts there.
bool ReviewWindow::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::Resize:
        finishRewrite();
        break;
    case QEvent::Paint:
        // The rest waits until the new marking's frame is out.
        if (watched == m_reviewView->viewport() && m_review && m_review->hasPending())
            m_rewriteTimer->start(0);
        break;
    default:
        break;
    }
    if (watched == m_reviewView->viewport() && m_review && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const int question = ReviewDocument::questionOfLink(m_reviewView->anchorAt(mouse->position().toPoint()));
        if (mouse->button() == Qt::LeftButton && question > 0 && !m_reviewView->textCursor().hasSelection()) {
            followLink(question, false);
            return true;
        }
    }
    if (watched == m_reviewView && m_review && event->type() == QEvent::KeyPress
        && handleKey(*static_cast<QKeyEvent *>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

// Tab and Shift+Tab go from link to link instead of leaving the only control there is;
// Alt+Left goes back as in a browser.
bool ReviewWindow::handleKey(const QKeyEvent &key)
{
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    if (key.key() == Qt::Key_Tab && modifiers == Qt::NoModifier) {
        selectLink(true);
        return true;
    }
    if (key.key() == Qt::Key_Backtab && (modifiers & ~Qt::ShiftModifier) == Qt::NoModifier) {
        selectLink(false);
        return true;
    }
    const bool altLeft = key.key() == Qt::Key_Left && modifiers == Qt::AltModifier;
    if (altLeft || key.matches(QKeySequence::Back) || key.key() == Qt::Key_Back) {
        goBack();
        return true;
    }
    const bool enter = key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
    const int question = enter && modifiers == Qt::NoModifier ? linkAtCaret() : 0;
    if (question > 0)
        followLink(question, true);
    return question > 0;
}

// The next link after the caret or the previous one before it, round from either end,
// selected so that it shows; a screen reader hears its text.
void ReviewWindow::selectLink(bool forward)
{
    const QList<LinkSpan> links = linksOf(m_reviewView->document());
    if (links.isEmpty())
        return;
    const QTextCursor caret = m_reviewView->textCursor();
    LinkSpan target = forward ? links.first() : links.last();
    if (forward) {
        const auto next = std::find_if(links.cbegin(), links.cend(),
                                       [&](const LinkSpan &link) { return link.start >= caret.selectionEnd(); });
        if (next != links.cend())
            target = *next;
    } else {
        const auto previous = std::find_if(links.crbegin(), links.crend(),
                                           [&](const LinkSpan &link) { return link.end <= caret.selectionStart(); });
        if (previous != links.crend())
            target = *previous;
    }
    QTextCursor selection(m_reviewView->document());
    selection.setPosition(target.start);
    selection.setPosition(target.end, QTextCursor::KeepAnchor);
    m_reviewView->setTextCursor(selection);
    m_announcer->announce(spoken(selection.selectedText()));
}

// Shows the question's entry, remembering where the caret and the view were. From the
// keyboard the caret goes there too; a screen reader does not read a line the caret
// reaches by Return, so the entry's first line is announced.
void ReviewWindow::followLink(int question, bool moveCaret)
{
    const QTextCursor caret = m_reviewView->textCursor();
    if (m_history.size() == historyLength)
        m_history.removeFirst();
    m_history.append({caret.anchor(), caret.position(), m_reviewView->verticalScrollBar()->value()});
    const QTextBlock entry = m_review->entryBlock(question);
    if (moveCaret)
        m_reviewView->setTextCursor(QTextCursor(entry));
    showQuestion(question);
    if (moveCaret)
        m_announcer->announce(spoken(entry.text().section(QChar::LineSeparator, 0, 0)));
}

// Back to where the last link was followed from, and the line there announced.
void ReviewWindow::goBack()
{
    if (m_history.isEmpty())
        return;
    const Place place = m_history.takeLast();
    const int end = m_reviewView->document()->characterCount() - 1;
    QTextCursor caret(m_reviewView->document());
    caret.setPosition(qBound(0, place.anchor, end));
    caret.setPosition(qBound(0, place.position, end), QTextCursor::KeepAnchor);
    m_reviewView->setTextCursor(caret);
    m_reviewView->verticalScrollBar()->setValue(place.scroll);
    m_announcer->announce(lineAt(caret));
}
