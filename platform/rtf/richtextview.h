#pragma once

#include "documentzoom.h"
#include "rtfreader.h"

#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include <functional>
#include <memory>

// The read-only, vertically scrolling viewer that shows one RTF document.
// While focused it shows a steady caret (it never blinks, so a focused viewer
// costs nothing while the student reads) and a frame around the box: the arrows,
// Page Up/Down, Home/End and Ctrl+Home/End move the caret and scroll the view
// with it, Shift with them selects, and the mouse selects too; Ctrl+C copies.
// A screen reader follows the caret, so a blind student reads line by line.
// Ctrl+wheel, Ctrl++ (Ctrl+=), Ctrl+- and Ctrl+0 zoom the whole document, its
// explicit point sizes included.
class RichTextView : public QTextEdit
{
    Q_OBJECT

public:
    static constexpr int smallestZoomPercent = 50;
    static constexpr int largestZoomPercent = 300;

    explicit RichTextView(QWidget *parent = nullptr);

    // How much of a document is read before it is shown: all of it, or, for a viewer
    // not yet shown at 100 %, what fills its first screen, the rest just after the
    // first frame (readWholeDocument()).
    enum class Pace { Whole, FirstScreenFirst };

    // Shows the document, scrolled to the top, at the current zoom.
    rtf::ReadResult loadRtf(const QByteArray &bytes, Pace pace = Pace::Whole);
    // Reads a file or a resource (":/documents/booklet.rtf") and shows it; a document
    // that does not read cleanly is logged once under its path (read first screen
    // first, once it is read to its end; the result then holds the first part's faults).
    rtf::ReadResult loadRtfFile(const QString &path, Pace pace = Pace::Whole);

    // A document loaded first screen first is read to its end just after the first
    // frame; whatever needs its whole text before then calls this first.
    void readWholeDocument();

    // A document loaded before the viewer is shown is laid out only as far as its
    // first screen until that screen is painted; the rest follows at once after the
    // first frame, a step at a time while the program is idle, as Qt lays out any
    // document. Whatever needs the whole layout before then calls this first.
    void layOutWholeDocument();

    // 100 shows the document's own sizes.
    int zoomPercent() const { return m_zoomPercent; }
    // Clamped to smallestZoomPercent..largestZoomPercent; the line at the top stays at the
    // top. The whole document is at the new zoom when it returns.
    void setZoomPercent(int percent);

    // A zoom step of the reader's (Ctrl+wheel, Ctrl++, Ctrl+-, Ctrl+0) scales what the view
    // shows at once and the rest of the document while the program is idle, the line at
    // the top staying put. The viewer finishes it at once before anything of its own that
    // needs the rest (keys, clicks, scrolling, a new size); whatever else needs every
    // paragraph at the new zoom calls this first.
    void finishZoom();
    // Whether a step is still scaling the rest of the document.
    bool isZooming() const { return m_zoom.isScaling(); }

    // For text changed in place rather than loaded: write runs on the document at
    // its own sizes, and the current zoom then applies to the new text as well.
    void rewrite(const std::function<void(QTextDocument *)> &write);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    int zoomAfter(int steps) const;
    void stepZoom(int steps);
    void zoomTo(int percent);
    bool zoomViewFirst(int percent);
    void scaleWholeDocument();
    bool isLaidOutToTheEnd() const;
    int zoomAnchorY() const;
    void keepZoomAnchor();
    void continueZoom();
    bool zoomByKey(const QKeyEvent &event);
    bool moveCaretByKey(const QKeyEvent &event);
    void moveCaretByPage(int direction, QTextCursor::MoveMode mode);
    QRect caretRect() const;
    void forgetDocument();
    void holdBackAllButFirstBlock();
    void layOutHeldBackTo(qreal bottom);
    void readMoreHeldBack();

    DocumentZoom m_zoom;
    int m_zoomPercent = 100;
    int m_wheelAngle = 0;   // Ctrl+wheel turns not yet worth a whole step
    QTimer m_zoomPreparation;   // the rest of a step, then the neighbouring zooms, while idle
    int m_zoomAnchor = 0;           // the line kept at the top while a step scales the rest
    bool m_zoomScrolling = false;   // the view scrolls because a step scales the document
    bool m_loadedUnlaidOut = false;   // loaded before the viewer first had a size
    QTextBlock m_firstHeldBack;     // the first paragraph hidden until the first frame is out
    std::unique_ptr<rtf::PartialRead> m_pendingRead;   // the rest of a document read first screen first
    QString m_pendingName;          // its path, to log its faults by once it is read
};
