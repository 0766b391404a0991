#include "richtextview.h"

#include <QFile>
#include <QScrollBar>
#include <QTextDocument>

RichTextView::RichTextView(QWidget *parent)
    : QTextEdit(parent)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
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
    const rtf::ReadResult result = rtf::read(bytes, document());
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
        document()->clear();
        rtf::ReadResult result;
        result.faults = {rtf::Fault::Unreadable};
        result.message = QStringLiteral("%1 (%2: %3)")
                             .arg(rtf::describe(rtf::Fault::Unreadable), path, file.errorString());
        return result;
    }
    return loadRtf(file.readAll());
}
