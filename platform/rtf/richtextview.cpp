#include "richtextview.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextDocument>
#include <QWheelEvent>

#include <algorithm>
#include <iterator>

namespace {

// The zoom steps of Ctrl++ and Ctrl+-, as readers commonly offer them.
constexpr int zoomSteps[] = {50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300};

} // namespace

RichTextView::RichTextView(QWidget *parent)
    : QTextEdit(parent)
{
    setReadOnly(true);
    // Selectable by mouse only: selecting by keyboard needs a caret, which
    // suggests the text can be edited (and, if it blinks, wakes the program).
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setUndoRedoEnabled(false);
    setAcceptRichText(false);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    // The page is the system's text-box colour even though the box is read-only.
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

rtf::ReadResult RichTextView::loadRtf(const QByteArray &bytes)
{
    m_zoom.forget();
    const rtf::ReadResult result = rtf::read(bytes, document());
    if (m_zoomPercent != 100)
        m_zoom.scale(document(), m_zoomPercent / 100.0);
    QTextCursor start(document());
    start.movePosition(QTextCursor::Start);
    setTextCursor(start);
    verticalScrollBar()->setValue(verticalScrollBar()->minimum());
    return result;
}

rtf::ReadResult RichTextView::loadRtfFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_zoom.forget();
        document()->clear();
        rtf::ReadResult result;
        result.faults = {rtf::Fault::Unreadable};
        result.message = QStringLiteral("%1 (%2: %3)")
                             .arg(rtf::describe(rtf::Fault::Unreadable), path, file.errorString());
        return result;
    }
    return loadRtf(file.readAll());
}

void RichTextView::setZoomPercent(int percent)
{
    percent = qBound(smallestZoomPercent, percent, largestZoomPercent);
    if (percent == m_zoomPercent)
        return;
    // The line at the top: a hit on its first row would count as the end of the line above.
    const int topPosition = cursorForPosition(QPoint(0, 1)).position();
    const bool atTop = verticalScrollBar()->value() == verticalScrollBar()->minimum();
    m_zoomPercent = percent;
    m_zoom.scale(document(), percent / 100.0);
    if (atTop)
        return;
    QTextCursor top(document());
    top.setPosition(topPosition);
    const int topY = verticalScrollBar()->value() + cursorRect(top).top();
    // The rest of the document is laid out later: lay out what the view shows from that line
    // on, and let the scroll bar reach the line whatever range it guesses meanwhile.
    document()->documentLayout()->hitTest(QPointF(0, topY + viewport()->height()), Qt::FuzzyHit);
    verticalScrollBar()->setMaximum(qMax(verticalScrollBar()->maximum(), topY));
    verticalScrollBar()->setValue(topY);
}

void RichTextView::rewrite(const std::function<void(QTextDocument *)> &write)
{
    const int zoom = m_zoomPercent;
    setZoomPercent(100);
    write(document());
    m_zoom.forget();
    setZoomPercent(zoom);
}

void RichTextView::stepZoom(int steps)
{
    // From a zoom between two steps, the first step goes to the nearer one on that side.
    const int *begin = std::begin(zoomSteps);
    const int *end = std::end(zoomSteps);
    int index = int(std::lower_bound(begin, end, m_zoomPercent) - begin);
    if (steps > 0 && index < int(std::size(zoomSteps)) && zoomSteps[index] > m_zoomPercent)
        --steps;
    index = qBound(0, index + steps, int(std::size(zoomSteps)) - 1);
    setZoomPercent(zoomSteps[index]);
}

bool RichTextView::zoomByKey(const QKeyEvent &event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (!(modifiers & Qt::ControlModifier) || (modifiers & (Qt::AltModifier | Qt::MetaModifier)))
        return false;
    switch (event.key()) {
    case Qt::Key_Plus:   // Shift+= or Shift+; on most layouts, or the keypad's +
    case Qt::Key_Equal:
        stepZoom(1);
        return true;
    case Qt::Key_Minus:
        stepZoom(-1);
        return true;
    case Qt::Key_0:
        setZoomPercent(100);
        return true;
    default:
        return false;
    }
}

// Without a caret the text control leaves these to the scroll area, which
// scrolls by line and page itself; only the document's ends need help.
bool RichTextView::scrollByKey(const QKeyEvent &event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier && modifiers != Qt::ControlModifier)
        return false;
    if (event.key() == Qt::Key_Home)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    else if (event.key() == Qt::Key_End)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    else
        return false;
    return true;
}

void RichTextView::keyPressEvent(QKeyEvent *event)
{
    if (zoomByKey(*event) || scrollByKey(*event)) {
        event->accept();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void RichTextView::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        m_wheelAngle = 0;
        QTextEdit::wheelEvent(event);
        return;
    }
    // A fine-grained wheel or touch pad sends fractions of a notch.
    m_wheelAngle += event->angleDelta().y();
    const int steps = m_wheelAngle / QWheelEvent::DefaultDeltasPerStep;
    m_wheelAngle -= steps * QWheelEvent::DefaultDeltasPerStep;
    if (steps != 0)
        stepZoom(steps);
    event->accept();
}
