#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QTextDocument;

namespace rtf {

// What was wrong with a document. The reader keeps going past every fault
// but NotRtf and returns what it could read.
enum class Fault {
    NotRtf,             // the input does not start with {\rtf: nothing was read
    MissingCloseBrace,  // the input ended inside an open group
    ExtraCloseBrace,    // a } with no group open
    Truncated,          // the input ended inside an escape, a control word or a double-byte pair
    TooDeep,            // groups nested deeper than the reader follows
    BadParameter,       // a numeric parameter out of range
    BadHexEscape,       // \' not followed by two hex digits
};

struct ReadResult {
    bool isRtf = false;
    QList<Fault> faults;
    QString message;    // a sentence for people, naming the first fault; empty when clean

    bool ok() const { return isRtf && faults.isEmpty(); }
};

// Replaces the contents of document with the RTF in bytes.
ReadResult read(const QByteArray &bytes, QTextDocument *document);

} // namespace rtf
