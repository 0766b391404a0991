#include "richtextview.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

// The viewer's caret and focus frame, and the keys that move the caret.

namespace {

// The keys that move the caret as in any text box, and whether they select.
struct CaretKey
{
    QKeySequence::StandardKey key;
    QTextCursor::MoveOperation move;
    QTextCursor::MoveMode mode;
};

constexpr CaretKey caretKeys[] = {
    {QKeySequence::MoveToNextChar, QTextCursor::Right, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToPreviousChar, QTextCursor::Left, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToNextWord, QTextCursor::WordRight, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToPreviousWord, QTextCursor::WordLeft, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToNextLine, QTextCursor::Down, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToPreviousLine, QTextCursor::Up, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToStartOfLine, QTextCursor::StartOfLine, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToEndOfLine, QTextCursor::EndOfLine, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToStartOfDocument, QTextCursor::Start, QTextCursor::MoveAnchor},
    {QKeySequence::MoveToEndOfDocument, QTextCursor::End, QTextCursor::MoveAnchor},
    {QKeySequence::SelectNextChar, QTextCursor::Right, QTextCursor::KeepAnchor},
    {QKeySequence::SelectPreviousChar, QTextCursor::Left, QTextCursor::KeepAnchor},
    {QKeySequence::SelectNextWord, QTextCursor::WordRight, QTextCursor::KeepAnchor},
    {QKeySequence::SelectPreviousWord, QTextCursor::WordLeft, QTextCursor::KeepAnchor},
    {QKeySequence::SelectNextLine, QTextCursor::Down, QTextCursor::KeepAnchor},
    {QKeySequence::SelectPreviousLine, QTextCursor::Up, QTextCursor::KeepAnchor},
    {QKeySequence::SelectStartOfLine, QTextCursor::StartOfLine, QTextCursor::KeepAnchor},
    {QKeySequence::SelectEndOfLine, QTextCursor::EndOfLine, QTextCursor::KeepAnchor},
    {QKeySequence::SelectStartOfDocument, QTextCursor::Start, QTextCursor::KeepAnchor},
    {QKeySequence::SelectEndOfDocument, QTextCursor::End, QTextCursor::KeepAnchor},
};

// The caret and the focus frame, both two pixels wide. The focus frame is drawn
// over the box's own frame and, where that is narrower, over the page's edge inside
// it, so nothing moves; in the text colour, it stands out from the page and from
// the window around the box.
constexpr int caretWidth = 2;
constexpr int focusFrameWidth = 2;

void paintRing(QPainter &painter, const QRect &box, int width, const QColor &colour)
{
    if (width <= 0)
        return;
    painter.fillRect(QRect(box.left(), box.top(), box.width(), width), colour);
    painter.fillRect(QRect(box.left(), box.bottom() - width + 1, box.width(), width), colour);
    painter.fillRect(QRect(box.left(), box.top(), width, box.height()), colour);
    painter.fillRect(QRect(box.right() - width + 1, box.top(), width, box.height()), colour);
}

} // namespace

bool RichTextView::moveCaretByKey(const QKeyEvent &event)
{
    if (event.matches(QKeySequence::MoveToNextPage) || event.matches(QKeySequence::SelectNextPage)) {
        moveCaretByPage(1, event.modifiers() & Qt::ShiftModifier ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
        return true;
    }
    if (event.matches(QKeySequence::MoveToPreviousPage) || event.matches(QKeySequence::SelectPreviousPage)) {
        moveCaretByPage(-1, event.modifiers() & Qt::ShiftModifier ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
        return true;
    }
    if (event.matches(QKeySequence::SelectAll)) {
        selectAll();
        return true;
    }
    for (const CaretKey &caretKey : caretKeys) {
        if (event.matches(caretKey.key)) {
            QTextCursor cursor = textCursor();
            cursor.movePosition(caretKey.move, caretKey.mode);
            setTextCursor(cursor);
            ensureCursorVisible();
            return true;
        }
    }
    return false;
}

// A page of the view on, with the caret at the same height in the view; at either
// end of the document, to its first or last character.
void RichTextView::moveCaretByPage(int direction, QTextCursor::MoveMode mode)
{
    QScrollBar *bar = verticalScrollBar();
    const QRect view = viewport()->rect();
    QPoint caretAt = cursorRect().center();
    caretAt.setY(qBound(view.top(), caretAt.y(), view.bottom()));
    const int before = bar->value();
    bar->triggerAction(direction > 0 ? QAbstractSlider::SliderPageStepAdd : QAbstractSlider::SliderPageStepSub);

    QTextCursor cursor = textCursor();
    if (bar->value() == before)
        cursor.movePosition(direction > 0 ? QTextCursor::End : QTextCursor::Start, mode);
    else
        cursor.setPosition(cursorForPosition(caretAt).position(), mode);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void RichTextView::keyPressEvent(QKeyEvent *event)
{
    layOutWholeDocument();
    if (zoomByKey(*event)) {
        event->accept();
        return;
    }
    // Ctrl on its own, pressed for the next zoom step, leaves the step going on.
    const int key = event->key();
    if (key != Qt::Key_Control && key != Qt::Key_Shift && key != Qt::Key_Alt && key != Qt::Key_Meta)
        finishZoom();
    if (moveCaretByKey(*event)) {
        event->accept();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

QRect RichTextView::caretRect() const
{
    QRect caret = cursorRect();
    caret.setWidth(caretWidth);
    return caret;
}

// The viewport: the document, then, while the viewer has the focus, the caret and
// the inner part of the focus frame over it.
void RichTextView::paintEvent(QPaintEvent *event)
{
    if (m_firstHeldBack.isValid() || m_pendingRead) {
        layOutHeldBackTo(verticalScrollBar()->value() + viewport()->height());
        QMetaObject::invokeMethod(this, &RichTextView::layOutWholeDocument, Qt::QueuedConnection);
    }
    QTextEdit::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(viewport());
    const QColor colour = palette().color(QPalette::Text);
    painter.fillRect(caretRect(), colour);
    paintRing(painter, viewport()->rect(), focusFrameWidth - frameWidth(), colour);
}

// The frame around the viewport and scroll bar is the viewer's own paint event.
bool RichTextView::event(QEvent *event)
{
    const bool handled = QTextEdit::event(event);
    if (event->type() == QEvent::Paint && hasFocus()) {
        QPainter painter(this);
        paintRing(painter, rect(), qMin(focusFrameWidth, frameWidth()), palette().color(QPalette::Text));
    }
    return handled;
}

void RichTextView::focusInEvent(QFocusEvent *event)
{
    layOutWholeDocument();
    QTextEdit::focusInEvent(event);
    update();
    viewport()->update();
}

void RichTextView::focusOutEvent(QFocusEvent *event)
{
    QTextEdit::focusOutEvent(event);
    update();
    viewport()->update();
}
