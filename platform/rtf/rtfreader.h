#pragma once

#include "rtffault.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

class QTextDocument;

namespace rtf {

struct ReadResult {
    bool isRtf = false;
    QList<Fault> faults;
    QString message;    // a sentence for people, naming the first fault; empty when clean

    bool ok() const { return isRtf && faults.isEmpty(); }
};

// Replaces the contents of document with the RTF in bytes.
ReadResult read(const QByteArray &bytes, QTextDocument *document);

// The same a part at a time, so that a long document's first screen can be shown
// before the rest is read: the document is cleared at once, and each call of
// readParagraphs() appends the next paragraphs. Nothing else may edit the
// document until the reading is finished.
class PartialRead
{
public:
    PartialRead(const QByteArray &bytes, QTextDocument *document);
    ~PartialRead();
    Q_DISABLE_COPY(PartialRead)

    // Reads on until that many more paragraphs are written or the document ends;
    // true once it has ended.
    bool readParagraphs(int paragraphs);
    bool isFinished() const;
    // What the read found; final once isFinished().
    ReadResult result() const;

private:
    struct Reading;
    std::unique_ptr<Reading> m_reading;
};

// A sentence for people describing one fault.
QString describe(Fault fault);

// For windows that show whatever a document yields: a warning (category
// nihonshib.rtf) when it did not read cleanly, once per document name.
void warnAboutFaults(const QString &documentName, const ReadResult &result);

// The document as the viewer shows it, as plain text: paragraphs and line
// breaks as \n, tabs as \t, no newline after the last paragraph.
QString plainText(const QTextDocument *document);

// Every run of red and/or underlined text, one a line:
// text <tab> yes|no (red) <tab> yes|no (underlined). A run is a longest stretch
// within one paragraph with the same pair; tabs in it are written \t, line
// breaks \n and backslashes \\. Red is exactly RGB(255,0,0).
QString markedRuns(const QTextDocument *document);

} // namespace rtf
