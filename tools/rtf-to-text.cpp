// Prints an RTF document as the rich-text viewer reads it, so the documents
// can be checked and compared without opening the program.

#include "rtfreader.h"
#include "runtimefolder.h"

#include <QFile>
#include <QGuiApplication>
#include <QStringList>
#include <QTextDocument>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void printUtf8(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

// Far more than any document the program carries; a bigger file is not one of them.
constexpr qint64 maxDocumentSize = 64 * 1024 * 1024;

// The whole file, or an empty optional after a message. Only a regular file of
// at most maxDocumentSize bytes is read: a device or a pipe could go on for ever,
// and opening without blocking keeps a FIFO with no writer from stopping the tool.
std::optional<QByteArray> readDocument(const QString &path)
{
    auto refuse = [&](const QString &why) {
        printUtf8(stderr, QStringLiteral("rtf-to-text: cannot read %1: %2\n").arg(path, why));
        return std::optional<QByteArray>();
    };
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    QFile file;
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);

    struct stat info {};
    if (fstat(fd, &info) != 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(info.st_mode))
        return refuse(QStringLiteral("not a regular file"));
    if (info.st_size > maxDocumentSize)
        return refuse(QStringLiteral("%1 bytes, larger than the 64 MiB this tool reads").arg(info.st_size));

    // One byte more than its size shows whether the file grew while being read.
    QByteArray bytes = file.read(info.st_size + 1);
    if (bytes.size() > info.st_size)
        return refuse(QStringLiteral("it grew while being read"));
    if (file.error() != QFileDevice::NoError)
        return refuse(file.errorString());
    return bytes;
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
    startup::provideRuntimeFolder();
    QGuiApplication app(argc, argv);

    QStringList arguments = app.arguments().mid(1);
    const bool runs = arguments.removeAll(QStringLiteral("--runs")) > 0;
    if (arguments.size() != 1 || arguments.first().startsWith(QLatin1Char('-')))
        return usage();

    const QString path = arguments.first();
    const std::optional<QByteArray> bytes = readDocument(path);
    if (!bytes)
        return 1;

    QTextDocument document;
    const rtf::ReadResult result = rtf::read(*bytes, &document);
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
