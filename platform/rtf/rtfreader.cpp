#include "rtfreader.h"

#include "rtfdocumentbuilder.h"
#include "rtftokenizer.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <limits>

Q_LOGGING_CATEGORY(lcRtf, "nihonshib.rtf", QtWarningMsg)

namespace rtf {

namespace {

qsizetype rtfStart(const QByteArray &bytes)
{
    qsizetype pos = 0;
    if (bytes.startsWith("\xef\xbb\xbf"))
        pos = 3;
    while (pos < bytes.size() && (bytes[pos] == ' ' || bytes[pos] == '\t' || bytes[pos] == '\r'
                                  || bytes[pos] == '\n'))
        ++pos;
    return QByteArrayView(bytes).sliced(pos).startsWith("{\\rtf") ? pos : -1;
}

} // namespace

ReadResult read(const QByteArray &bytes, QTextDocument *document)
{
    PartialRead reading(bytes, document);
    reading.readParagraphs(std::numeric_limits<int>::max());
    return reading.result();
}

struct PartialRead::Reading
{
    explicit Reading(QTextDocument *document) : document(document), builder(document), tokenizer(builder) {}

    QTextDocument *document;
    QByteArray bytes;
    bool undo = false;
    bool finished = false;
    bool isRtf = false;
    detail::DocumentBuilder builder;
    Tokenizer tokenizer;
};

PartialRead::PartialRead(const QByteArray &bytes, QTextDocument *document)
{
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    document->clear();
    m_reading = std::make_unique<Reading>(document);
    m_reading->undo = undo;
    const qsizetype start = rtfStart(bytes);
    m_reading->isRtf = start >= 0;
    if (!m_reading->isRtf) {
        m_reading->finished = true;
        document->setUndoRedoEnabled(m_reading->undo);
        return;
    }
    m_reading->bytes = bytes;
    m_reading->tokenizer.start(QByteArrayView(m_reading->bytes).sliced(start));
}

PartialRead::~PartialRead() = default;

bool PartialRead::readParagraphs(int paragraphs)
{
    Reading &reading = *m_reading;
    if (reading.finished)
        return true;
    QTextCursor batch(reading.document);
    batch.beginEditBlock();
    reading.builder.pauseAfter(paragraphs);
    reading.finished = reading.tokenizer.resume();
    if (reading.finished)
        reading.builder.finish();
    batch.endEditBlock();
    if (reading.finished) {
        reading.document->setUndoRedoEnabled(reading.undo);
        reading.bytes.clear();
    }
    return reading.finished;
}

bool PartialRead::isFinished() const
{
    return m_reading->finished;
}

ReadResult PartialRead::result() const
{
    ReadResult result;
    result.isRtf = m_reading->isRtf;
    result.faults = m_reading->isRtf ? m_reading->builder.faults() : QList<Fault>{Fault::NotRtf};
    if (!result.faults.isEmpty())
        result.message = describe(result.faults.first());
    return result;
}

QString describe(Fault fault)
{
    switch (fault) {
    case Fault::NotRtf:
        return QStringLiteral("This is not an RTF document: it does not begin with {\\rtf.");
    case Fault::MissingCloseBrace:
        return QStringLiteral("The document ends inside an open group: a closing brace is missing.");
    case Fault::ExtraCloseBrace:
        return QStringLiteral("The document has a closing brace with no group open.");
    case Fault::Truncated:
        return QStringLiteral("The document is cut off inside an escape, a control word or a double-byte character.");
    case Fault::TooDeep:
        return QStringLiteral("The document nests groups deeper than %1 levels; the deeper ones were read flat.")
            .arg(detail::maxDepth);
    case Fault::BadParameter:
        return QStringLiteral("The document has a numeric parameter out of range.");
    case Fault::BadHexEscape:
        return QStringLiteral("The document has a \\' escape without two hex digits.");
    case Fault::Unreadable:
        return QStringLiteral("The document could not be read.");
    case Fault::TooLong:
        return QStringLiteral("The document has more than %1 paragraphs and runs of text; the rest was not read.")
            .arg(detail::maxPieces);
    }
    return QString();
}

void warnAboutFaults(const QString &documentName, const ReadResult &result)
{
    if (result.ok())
        return;
    static QMutex mutex;
    static QSet<QString> warned;
    const QMutexLocker locker(&mutex);
    if (warned.contains(documentName))
        return;
    warned.insert(documentName);
    qCWarning(lcRtf).noquote() << documentName << result.message;
}

QString plainText(const QTextDocument *document)
{
    QStringList paragraphs;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        paragraphs.append(block.text().replace(QChar::LineSeparator, QLatin1Char('\n')));
    return paragraphs.join(QLatin1Char('\n'));
}

QString markedRuns(const QTextDocument *document)
{
    QString out;
    const auto emitRun = [&out](const QString &text, bool red, bool underlined) {
        if (text.isEmpty() || (!red && !underlined))
            return;
        QString escaped;
        for (const QChar c : text) {
            if (c == QLatin1Char('\\'))
                escaped += QLatin1String("\\\\");
            else if (c == QLatin1Char('\t'))
                escaped += QLatin1String("\\t");
            else if (c == QChar::LineSeparator)
                escaped += QLatin1String("\\n");
            else
                escaped += c;
        }
        out += escaped + QLatin1Char('\t') + QLatin1String(red ? "yes" : "no") + QLatin1Char('\t')
               + QLatin1String(underlined ? "yes" : "no") + QLatin1Char('\n');
    };

    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        QString run;
        bool runRed = false;
        bool runUnderlined = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            const QBrush foreground = format.foreground();
            const bool red = foreground.style() != Qt::NoBrush && foreground.color().isValid()
                             && foreground.color().rgb() == qRgb(255, 0, 0);
            const bool underlined = format.underlineStyle() != QTextCharFormat::NoUnderline
                                    || format.fontUnderline();
            if (!run.isEmpty() && (red != runRed || underlined != runUnderlined)) {
                emitRun(run, runRed, runUnderlined);
                run.clear();
            }
            runRed = red;
            runUnderlined = underlined;
            run += fragment.text();
        }
        emitRun(run, runRed, runUnderlined);
    }
    return out;
}

} // namespace rtf
