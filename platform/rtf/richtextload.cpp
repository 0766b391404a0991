// Loading a document, and its first screen shown before the rest is laid out (and,
// read first screen first, before the rest is read).
#include "richtextview.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QScrollBar>
#include <QTextDocument>

#include <limits>

namespace {

// Read first screen first, a document's first part: more paragraphs than the
// booklet's first screen shows; more are read as the view needs them.
constexpr int firstPartParagraphs = 40;

} // namespace

// What the viewer keeps about the document it shows, before another takes its place.
void RichTextView::forgetDocument()
{
    m_zoom.forget();
    m_firstHeldBack = QTextBlock();
    m_pendingRead.reset();
}

rtf::ReadResult RichTextView::loadRtf(const QByteArray &bytes, Pace pace)
{
    forgetDocument();
    // Not yet laid out: the viewer has never had a size since it was made.
    m_loadedUnlaidOut = document()->pageSize().isNull();
    auto reading = std::make_unique<rtf::PartialRead>(bytes, document());
    const bool firstScreenFirst = pace == Pace::FirstScreenFirst && m_loadedUnlaidOut && m_zoomPercent == 100;
    reading->readParagraphs(firstScreenFirst ? firstPartParagraphs : std::numeric_limits<int>::max());
    const rtf::ReadResult result = reading->result();
    if (!reading->isFinished())
        m_pendingRead = std::move(reading);
    if (m_zoomPercent != 100)
        m_zoom.scale(document(), m_zoomPercent / 100.0);
    QTextCursor start(document());
    start.movePosition(QTextCursor::Start);
    setTextCursor(start);
    verticalScrollBar()->setValue(verticalScrollBar()->minimum());
    return result;
}

rtf::ReadResult RichTextView::loadRtfFile(const QString &path, Pace pace)
{
    QFile file(path);
    rtf::ReadResult result;
    if (file.open(QIODevice::ReadOnly)) {
        result = loadRtf(file.readAll(), pace);
    } else {
        forgetDocument();
        document()->clear();
        result.faults = {rtf::Fault::Unreadable};
        result.message = QStringLiteral("%1 (%2: %3)")
                             .arg(rtf::describe(rtf::Fault::Unreadable), path, file.errorString());
    }
    m_pendingName = path;
    if (!m_pendingRead)
        rtf::warnAboutFaults(path, result);
    return result;
}

void RichTextView::readWholeDocument()
{
    if (!m_pendingRead)
        return;
    const std::unique_ptr<rtf::PartialRead> reading = std::move(m_pendingRead);
    reading->readParagraphs(std::numeric_limits<int>::max());
    rtf::warnAboutFaults(m_pendingName, reading->result());
}

// Qt lays a new document out at least 2,000 pixels deep before it paints, several
// screens of a long one, loading and shaping every glyph on the way. Hidden
// paragraphs cost the layout nothing, so all but the first are hidden until the
// first paint, and only as many shown as fill the view.
void RichTextView::holdBackAllButFirstBlock()
{
    const QTextBlock second = document()->begin().next();
    if (!second.isValid())
        return;
    for (QTextBlock block = second; block.isValid(); block = block.next())
        block.setVisible(false);
    m_firstHeldBack = second;
}

// Shows held-back paragraphs until the text reaches bottom, each round as many
// as the text shown so far suggests will fill what is missing.
void RichTextView::layOutHeldBackTo(qreal bottom)
{
    QAbstractTextDocumentLayout *layout = document()->documentLayout();
    while (m_firstHeldBack.isValid() || m_pendingRead) {
        const qreal height = layout->documentSize().height();
        if (height >= bottom)
            return;
        if (height <= 0) {
            layOutWholeDocument();
            return;
        }
        if (!m_firstHeldBack.isValid()) {
            readMoreHeldBack();
            continue;
        }
        const int from = m_firstHeldBack.position();
        const qreal wanted = from * (bottom - height) / height;
        QTextBlock block = m_firstHeldBack;
        do {
            block.setVisible(true);
            block = block.next();
        } while (block.isValid() && block.position() - from < wanted);
        m_firstHeldBack = block;
        const int end = block.isValid() ? block.position() : document()->characterCount();
        document()->markContentsDirty(from, end - from);
    }
}

// The next part of a document read first screen first, held back like the rest.
void RichTextView::readMoreHeldBack()
{
    const QTextBlock last = document()->lastBlock();
    if (m_pendingRead->readParagraphs(firstPartParagraphs))
        readWholeDocument();
    for (QTextBlock block = last.next(); block.isValid(); block = block.next())
        block.setVisible(false);
    m_firstHeldBack = last.next();
}

void RichTextView::layOutWholeDocument()
{
    readWholeDocument();
    if (!m_firstHeldBack.isValid())
        return;
    for (QTextBlock block = m_firstHeldBack; block.isValid(); block = block.next())
        block.setVisible(true);
    m_firstHeldBack = QTextBlock();
    // The whole document anew at the same width: Qt lays out what the view shows
    // and the rest in steps while idle, and the scroll bar's range settles.
    document()->setPageSize(document()->pageSize());
}
