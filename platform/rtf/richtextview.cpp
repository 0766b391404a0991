#include "richtextview.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QKeyEvent>
#include <QPainter>
#include <QtMath>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextDocument>
#include <QWheelEvent>

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

// The zoom steps of Ctrl++ and Ctrl+-, as readers commonly offer them.
constexpr int zoomSteps[] = {50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300};

} // namespace

RichTextView::RichTextView(QWidget *parent)
    : QTextEdit(parent)
{
    setReadOnly(true);
    // The text control's own keyboard caret blinks, which would wake the program
    // twice a second all the while a student reads; this viewer moves and draws
    // its caret itself instead, and leaves the control the mouse.
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setUndoRedoEnabled(false);
    setAcceptRichText(false);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    // The caret's old place is not known once the view has scrolled; the view is
    // repainted only as a key or click moves the caret.
    connect(this, &QTextEdit::cursorPositionChanged, viewport(), qOverload<>(&QWidget::update));
    // The page is the system's text-box colour even though the box is read-only.
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    m_zoomPreparation.setSingleShot(true);
    m_zoomPreparation.setInterval(0);
    connect(&m_zoomPreparation, &QTimer::timeout, this, &RichTextView::continueZoom);
}

void RichTextView::setZoomPercent(int percent)
{
    readWholeDocument();
    percent = qBound(smallestZoomPercent, percent, largestZoomPercent);
    if (percent == m_zoomPercent) {
        finishZoom();
        return;
    }
    m_zoomPercent = percent;
    scaleWholeDocument();
}

void RichTextView::finishZoom()
{
    if (m_zoom.isScaling())
        scaleWholeDocument();
}

// The whole document at the current zoom, the line at the top staying at the top.
void RichTextView::scaleWholeDocument()
{
    // The line at the top: a hit on its first row would count as the end of the line above.
    const int topPosition = cursorForPosition(QPoint(0, 1)).position();
    const bool atTop = verticalScrollBar()->value() == verticalScrollBar()->minimum();
    m_zoom.scale(document(), m_zoomPercent / 100.0);
    if (atTop)
        return;
    QTextCursor top(document());
    top.setPosition(topPosition);
    const int topY = verticalScrollBar()->value() + cursorRect(top).top();
    // The rest of the document is laid out later: lay out what the view shows from that line
    // on, and let the scroll bar reach the line whatever range it guesses meanwhile. Laid
    // out to its end already, the document's range is the real one: zoomed out near the
    // end, the line may no longer be one the view can have at its top.
    document()->documentLayout()->hitTest(QPointF(0, topY + viewport()->height()), Qt::FuzzyHit);
    if (!isLaidOutToTheEnd())
        verticalScrollBar()->setMaximum(qMax(verticalScrollBar()->maximum(), topY));
    verticalScrollBar()->setValue(topY);
}

// Whether Qt has laid out every paragraph, so that an edit has it lay out that part
// anew and move the rest, rather than laying out the whole document from its start.
bool RichTextView::isLaidOutToTheEnd() const
{
    const QTextBlock last = document()->lastBlock();
    return !m_firstHeldBack.isValid() && last.isVisible() && last.layout() && last.layout()->lineCount() > 0;
}

// A step of the reader's further down a document: the paragraphs the view shows at the
// new zoom first, from the line at the top down as far as the view reaches, the rest
// later (continueZoom()). Qt then lays out those paragraphs anew rather than everything
// from the document's start down to the view.
bool RichTextView::zoomViewFirst(int percent)
{
    // Near the top, Qt lays out hardly more than the view shows in any case.
    QScrollBar *bar = verticalScrollBar();
    if (bar->value() - bar->minimum() < 2 * viewport()->height() || !isLaidOutToTheEnd())
        return false;
    m_zoomAnchor = cursorForPosition(QPoint(0, 1)).position();
    // Zoomed out, the view reaches further down the text than it does now.
    const int reach = qCeil(viewport()->height() * qreal(m_zoomPercent) / percent);
    const int end = cursorForPosition(QPoint(0, reach)).position();
    m_zoomPercent = percent;
    const QScopedValueRollback<bool> scrolling(m_zoomScrolling, true);
    const int width = viewport()->width();
    m_zoom.beginScale(document(), percent / 100.0, m_zoomAnchor, end);
    // The view is placed once all it shows is scaled, as whatever follows the scroll
    // bar (the section in sight) may look at the paragraphs in it.
    const int bottom = zoomAnchorY() + viewport()->height();
    for (int below = m_zoom.unscaledBelow(); below >= 0 && viewport()->width() == width;
         below = m_zoom.unscaledBelow()) {
        if (document()->documentLayout()->blockBoundingRect(document()->findBlock(below)).top() >= bottom)
            break;
        m_zoom.scaleBelow(document(), 4);
    }
    keepZoomAnchor();
    // The scroll bar came or went: Qt lays the whole document out anew at the new width.
    if (viewport()->width() != width)
        finishZoom();
    return true;
}

// Where the line kept at the top stands in the document.
int RichTextView::zoomAnchorY() const
{
    QTextCursor top(document());
    top.setPosition(qMin(m_zoomAnchor, document()->characterCount() - 1));
    return verticalScrollBar()->value() + cursorRect(top).top();
}

// The anchor line back at the top after paragraphs above it changed their height.
void RichTextView::keepZoomAnchor()
{
    QScrollBar *bar = verticalScrollBar();
    const int topY = zoomAnchorY();
    // Qt may be laying the document out again (a new default tab stop): its range is a guess until it is done.
    if (!isLaidOutToTheEnd())
        bar->setMaximum(qMax(bar->maximum(), topY));
    bar->setValue(topY);
}

void RichTextView::rewrite(const std::function<void(QTextDocument *)> &write)
{
    layOutWholeDocument();
    const int zoom = m_zoomPercent;
    setZoomPercent(100);
    write(document());
    m_zoom.forget();
    setZoomPercent(zoom);
}

int RichTextView::zoomAfter(int steps) const
{
    // From a zoom between two steps, the first step goes to the nearer one on that side.
    const int *begin = std::begin(zoomSteps);
    const int *end = std::end(zoomSteps);
    int index = int(std::lower_bound(begin, end, m_zoomPercent) - begin);
    if (steps > 0 && index < int(std::size(zoomSteps)) && zoomSteps[index] > m_zoomPercent)
        --steps;
    index = qBound(0, index + steps, int(std::size(zoomSteps)) - 1);
    return zoomSteps[index];
}

void RichTextView::stepZoom(int steps)
{
    zoomTo(zoomAfter(steps));
}

// A zoom the reader asks for is painted at once, while the rest of the document waits
// for idle time: left to the event loop, the frame could come after a step of that layout.
// Once idle, the zooms one step either way are prepared, so the next step is as quick.
void RichTextView::zoomTo(int percent)
{
    readWholeDocument();
    percent = qBound(smallestZoomPercent, percent, largestZoomPercent);
    if (percent == m_zoomPercent)
        return;
    if (!zoomViewFirst(percent)) {
        m_zoomPercent = percent;
        scaleWholeDocument();
    }
    viewport()->repaint();
    m_zoomPreparation.start();
}

// A share of a step's paragraphs, or once they are all scaled, one zoom a pass of the
// event loop, so a key pressed meanwhile waits for one share at most. The paragraphs
// below the view come first; for each share above it the view follows the anchor line.
void RichTextView::continueZoom()
{
    constexpr int paragraphsAtOnce = 24;
    if (m_zoom.isScaling()) {
        if (!isLaidOutToTheEnd()) {
            finishZoom();
        } else {
            const QScopedValueRollback<bool> scrolling(m_zoomScrolling, true);
            if (!m_zoom.scaleBelow(document(), paragraphsAtOnce)) {
                m_zoom.scaleAbove(document(), paragraphsAtOnce);
                keepZoomAnchor();
            }
        }
        m_zoomPreparation.start();
        return;
    }
    for (int percent : {zoomAfter(1), zoomAfter(-1)}) {
        if (!m_zoom.isPrepared(percent / 100.0)) {
            m_zoom.prepare(*document(), percent / 100.0);
            m_zoomPreparation.start();
            return;
        }
    }
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
        zoomTo(100);
        return true;
    default:
        return false;
    }
}

// Scrolling moves what was drawn; the frame's part on the page must stay where it is.
void RichTextView::scrollContentsBy(int dx, int dy)
{
    QTextEdit::scrollContentsBy(dx, dy);
    if (hasFocus())
        viewport()->update();
    // The reader scrolled while a step was still scaling the rest: it is finished at
    // once, around the line now at the top.
    if (!m_zoomScrolling)
        finishZoom();
}

// The first frame of a window shows the document's top; as it comes out, before
// anything else, the rest is laid out as for any document.
void RichTextView::resizeEvent(QResizeEvent *event)
{
    // The first size a viewer gets is the one Qt sends as it is first shown.
    if (std::exchange(m_loadedUnlaidOut, false) && document()->pageSize().isNull())
        holdBackAllButFirstBlock();
    // A new width lays out the whole document anew in any case.
    if (!m_zoomScrolling)
        finishZoom();
    QTextEdit::resizeEvent(event);
    if (m_firstHeldBack.isValid() || m_pendingRead)
        layOutHeldBackTo(verticalScrollBar()->value() + viewport()->height());
}

void RichTextView::mousePressEvent(QMouseEvent *event)
{
    layOutWholeDocument();
    finishZoom();
    QTextEdit::mousePressEvent(event);
}

void RichTextView::wheelEvent(QWheelEvent *event)
{
    layOutWholeDocument();
    if (!(event->modifiers() & Qt::ControlModifier)) {
        finishZoom();
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
