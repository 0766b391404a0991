#include "verdictwindow.h"

#include "richtextview.h"
#include "windowlayout.h"

#include <QApplication>
#include <QLabel>

namespace {

// What tells the six windows apart. Edges and widths are in twips.
struct Verdict
{
    const char *passRate;
    QRgb passRateBackground;
    int passRateLeft;
    int passRateWidth;
    const char *comment;
    int commentLeft;
    int commentWidth;
};

const Verdict verdicts[6] = {
    {" 合格率 ９９％", qRgb(255, 0, 0), 4680, 2535,
     " あなたは八百長です・・・ 替え玉受験をして儲けましょう。", 2400, 7215},
    {" 合格率 ８０％", qRgb(255, 192, 128), 4680, 2535,
     " 一流大学までもう少しです。 合コン生活目指して頑張りましょう。", 1920, 7935},
    {" 合格率 ５０％", qRgb(255, 255, 128), 4680, 2535,
     " 三流大学でも危ないです。 機械の故障に期待しましょう。", 2400, 6975},
    {" 合格率 １０％", qRgb(128, 255, 128), 4680, 2535,
     " 進学できる大学はありません。 裏口入学を考えましょう。", 2400, 6975},
    {" 合格率 ０％", qRgb(128, 255, 255), 4800, 2295,
     " 浪人生活にリーチです。 金属バットは捨てておきましょう。", 2400, 7215},
    {" 予測不能", qRgb(128, 128, 255), 5040, 1695,
     " 勉強しても無駄です。 日本を脱出して一旗揚げましょう。", 2400, 6975},
};

const QColor windowColour(255, 128, 128);

} // namespace

VerdictWindow::VerdictWindow(int band, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    const Verdict &verdict = verdicts[qBound(1, band, 6) - 1];
    setUpSecondaryWindow(this, QStringLiteral("frm合格ライン%1").arg(band), QStringLiteral("合格ライン"));
    // One palette for all verdict windows, registered for the class. A palette set on
    // each window would be a new one each time, reaching the viewer's scroll bars, and
    // the style caches their pictures per palette: every window opened would add
    // pictures to the cache that no later window uses.
    static const bool paletteRegistered = [] {
        QPalette palette = QApplication::palette();
        palette.setColor(QPalette::Window, windowColour);
        // Nothing marked as set: each window and its children then share this very
        // palette rather than each getting a copy of it.
        palette.setResolveMask(0);
        QApplication::setPalette(palette, VerdictWindow::staticMetaObject.className());
        return true;
    }();
    Q_UNUSED(paletteRegistered)
    setAutoFillBackground(true);

    m_passLineView = new RichTextView(this);
    m_passLineView->setObjectName(QStringLiteral("RichTextBox1"));
    m_passLineView->setAccessibleName(QStringLiteral("合格ライン"));
    m_passLineView->setGeometry(twips(0, 1200, 11895, 7455));
    // The table is several times longer than its box; see the exam window's booklet.
    m_passLineView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_passLineView->setFont(gothicFont(9, false));
    const QString document = QStringLiteral(":/documents/passlines.rtf");
    m_passLineView->loadRtfFile(document);

    m_passRateLabel = makeLabel(this, QStringLiteral("Label1"), QString::fromUtf8(verdict.passRate),
                         twips(verdict.passRateLeft, 120, verdict.passRateWidth, 375),
                         gothicFont(15.75, true), Qt::AlignLeft, QColor(verdict.passRateBackground));
    m_commentLabel = makeLabel(this, QStringLiteral("Label2"), QString::fromUtf8(verdict.comment),
                         twips(verdict.commentLeft, 720, verdict.commentWidth, 255),
                         gothicFont(12, true), Qt::AlignLeft, windowColour);

    setFocusProxy(m_passLineView);
    m_passLineView->setFocus();
    centreOnScreen(this, 792, 573);
}
