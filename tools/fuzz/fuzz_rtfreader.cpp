// Feeds arbitrary bytes to the RTF reader. Every input must come back with a
// result, never a crash, a hang or a sanitizer report.

#include "rtfreader.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Font names go through the font database, as they do in the program.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QTextDocument document;
    const rtf::ReadResult result = rtf::read(bytes, &document);
    // A result that says nothing about what went wrong is a bug too.
    if ((!result.isRtf && !result.faults.contains(rtf::Fault::NotRtf))
        || (result.faults.isEmpty() != result.message.isEmpty()))
        abort();
    rtf::plainText(&document);
    rtf::markedRuns(&document);
    return 0;
}
