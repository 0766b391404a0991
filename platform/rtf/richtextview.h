#pragma once

#include "documentzoom.h"
#include "rtfreader.h"

#include <QTextEdit>

#include <functional>

// The read-only, vertically scrolling viewer that shows one RTF document.
// It has no caret: the keys scroll the view (arrows, Page Up/Down, Home, End)
// and the mouse selects text to copy. Ctrl+wheel, Ctrl++ (Ctrl+=), Ctrl+- and
// Ctrl+0 zoom the whole document, its explicit point sizes included.
class RichTextView : public QTextEdit
{
    Q_OBJECT

public:
    static constexpr int smallestZoomPercent = 50;
    static constexpr int largestZoomPercent = 300;

    explicit RichTextView(QWidget *parent = nullptr);

    // Shows the document, scrolled to the top, at the current zoom.
    rtf::ReadResult loadRtf(const QByteArray &bytes);
    // Reads a file or a resource (":/documents/booklet.rtf") and shows it.
    rtf::ReadResult loadRtfFile(const QString &path);

    // 100 shows the document's own sizes.
    int zoomPercent() const { return m_zoomPercent; }
    // Clamped to smallestZoomPercent..largestZoomPercent; the line at the top stays at the top.
    void setZoomPercent(int percent);

    // For text changed in place rather than loaded: write runs on the document at
    // its own sizes, and the current zoom then applies to the new text as well.
    void rewrite(const std::function<void(QTextDocument *)> &write);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void stepZoom(int steps);
    bool zoomByKey(const QKeyEvent &event);
    bool scrollByKey(const QKeyEvent &event);

    DocumentZoom m_zoom;
    int m_zoomPercent = 100;
    int m_wheelAngle = 0;   // Ctrl+wheel turns not yet worth a whole step
};
