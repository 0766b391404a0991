// Reading the three documents: the rich-text reader into a QTextDocument laid
// out at the width of the viewer that shows it, against iconv decoding the same
// bytes from code page 932, which is the least any reader of them has to do.
#include "benchsupport.h"
#include "fontmap.h"
#include "rtfreader.h"

#include <QApplication>
#include <QFile>
#include <QStyle>
#include <QTextDocument>

#include <cerrno>
#include <cstdio>
#include <iconv.h>
#include <vector>

namespace {

struct Document
{
    const char *resource;
    int viewerWidthPx;  // the viewer's width in its window: twips / 15
};

// The booklet shows in the exam window, the other two in full-width viewers of
// the verdict and help windows.
const Document documents[] = {
    {":/documents/booklet.rtf", 9375 / 15},
    {":/documents/passlines.rtf", 11895 / 15},
    {":/documents/help.rtf", 11895 / 15},
};

// Converts the bytes the way any reader must at the least; returns the UTF-16
// units produced so the work cannot be optimised away.
size_t iconvDecode(const QByteArray &bytes, std::vector<char> &output)
{
    iconv_t converter = iconv_open("UTF-16LE", "CP932");
    if (converter == iconv_t(-1))
        return 0;
    output.resize(size_t(bytes.size()) * 2 + 16);
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char *out = output.data();
    size_t outLeft = output.size();
    while (inLeft > 0) {
        if (iconv(converter, &in, &inLeft, &out, &outLeft) != size_t(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // A byte code page 932 does not define: skip it, as a reader would.
        ++in;
        --inLeft;
    }
    iconv_close(converter);
    return (output.size() - outLeft) / 2;
}

double microsecondsSince(qint64 startNs)
{
    return double(bench::monotonicNs() - startNs) / 1e3;
}

// One document's figures over all iterations, in microseconds where timed.
struct Measurement
{
    std::vector<double> readUs;
    std::vector<double> laidOutUs;
    std::vector<double> iconvUs;
    double firstLaidOutUs = 0;
    size_t units = 0;
    qreal height = 0;
    bool clean = true;
};

// One iteration: read alone, read and laid out at the viewer's text width, and the iconv floor.
void measureOnce(const QByteArray &bytes, qreal textWidth, Measurement &m)
{
    {
        QTextDocument target;
        const qint64 start = bench::monotonicNs();
        const rtf::ReadResult result = rtf::read(bytes, &target);
        m.readUs.push_back(microsecondsSince(start));
        m.clean = m.clean && result.isRtf;
    }
    {
        QTextDocument target;
        const qint64 start = bench::monotonicNs();
        rtf::read(bytes, &target);
        target.setTextWidth(textWidth);
        m.height = target.size().height();
        m.laidOutUs.push_back(microsecondsSince(start));
        if (m.laidOutUs.size() == 1)
            m.firstLaidOutUs = m.laidOutUs.back();
    }
    std::vector<char> output;
    const qint64 start = bench::monotonicNs();
    m.units = iconvDecode(bytes, output);
    m.iconvUs.push_back(microsecondsSince(start));
}

// Measures one document and prints its line; false when it is missing or not read as RTF.
bool benchDocument(const Document &document, int iterations, int textAreaMargins)
{
    QFile file(QString::fromLatin1(document.resource));
    if (!file.open(QIODevice::ReadOnly)) {
        std::printf("rtf document=%s missing\n", document.resource);
        return false;
    }
    const QByteArray bytes = file.readAll();
    const qreal textWidth = document.viewerWidthPx - textAreaMargins;

    Measurement m;
    for (int i = 0; i < iterations; ++i)
        measureOnce(bytes, textWidth, m);
    const double read = bench::median(m.readUs);
    const double laidOut = bench::median(m.laidOutUs);
    const double floor = bench::median(m.iconvUs);
    std::printf("rtf document=%s bytes=%lld iterations=%d read_us=%.1f laidout_us=%.1f first_laidout_us=%.1f "
                "iconv_us=%.1f ratio_read=%.1f ratio_laidout=%.1f utf16_units=%zu text_width=%.0f height=%.0f "
                "is_rtf=%s\n",
                document.resource, qlonglong(bytes.size()), iterations, read, laidOut, m.firstLaidOutUs, floor,
                floor > 0 ? read / floor : 0.0, floor > 0 ? laidOut / floor : 0.0, m.units, double(textWidth),
                double(m.height), m.clean ? "yes" : "no");
    return m.clean;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    fonts::installSubstitutions();
    const int iterations = qMax(1, bench::intArgument(QApplication::arguments(), QStringLiteral("--iterations"), 30));

    // The viewer's text area: its width less the frame on both sides and the vertical scroll bar.
    const int frame = QApplication::style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const int scrollBar = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);

    int failures = 0;
    for (const Document &document : documents) {
        if (!benchDocument(document, iterations, 2 * frame + scrollBar))
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
