// Prints an RTF document as the rich-text viewer reads it, so the documents
// can be checked and compared without opening the program.

#include "rtfreader.h"

#include <QFile>
#include <QGuiApplication>
#include <QStringList>
#include <QTextDocument>

#include <cstdio>

namespace {

void printUtf8(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int usage()
{
    printUtf8(stderr, QStringLiteral("usage: rtf-to-text [--runs] FILE\n"
                                     "  prints the document as plain UTF-8 text; with --runs, every run of\n"
                                     "  red and/or underlined text: text <tab> red yes|no <tab> underlined yes|no\n"));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    // The reader maps font names through the font database, which needs a
    // GUI application but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QStringList arguments = app.arguments().mid(1);
    const bool runs = arguments.removeAll(QStringLiteral("--runs")) > 0;
    if (arguments.size() != 1 || arguments.first().startsWith(QLatin1Char('-')))
        return usage();

    const QString path = arguments.first();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        printUtf8(stderr, QStringLiteral("rtf-to-text: cannot read %1: %2\n").arg(path, file.errorString()));
        return 1;
    }

    QTextDocument document;
    const rtf::ReadResult result = rtf::read(file.readAll(), &document);
    if (!result.isRtf) {
        printUtf8(stderr, QStringLiteral("rtf-to-text: %1: %2\n").arg(path, result.message));
        return 1;
    }
    // Faults in a document still leave text worth printing; say so on the side.
    if (!result.faults.isEmpty())
        printUtf8(stderr, QStringLiteral("rtf-to-text: %1: %2\n").arg(path, result.message));

    if (runs)
        printUtf8(stdout, rtf::markedRuns(&document));
    else
        printUtf8(stdout, rtf::plainText(&document) + QLatin1Char('\n'));
    return 0;
}
