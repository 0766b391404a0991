#pragma once

#include "rtfreader.h"

#include <QTextEdit>

// The read-only, vertically scrolling viewer that shows one RTF document.
class RichTextView : public QTextEdit
{
    Q_OBJECT

public:
    explicit RichTextView(QWidget *parent = nullptr);

    // Shows the document, scrolled to the top.
    rtf::ReadResult loadRtf(const QByteArray &bytes);
    // Reads a file or a resource (":/documents/booklet.rtf") and shows it.
    rtf::ReadResult loadRtfFile(const QString &path);
};
