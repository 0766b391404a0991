// The floor that shows the same screen: a Qt program built against Qt Widgets alone
// that draws what the exam window shows at first (the menu bar, the background
// picture, the three buttons and four captions, the tab rows, one answer frame with
// its four check boxes, and the booklet's first screen), from process start to its
// first frame on screen. The booklet's first screen is the one bench-startup
// --grab-booklet DIR wrote (DIR/first-screen.html, in the booklet's own faces and
// sizes); with --compare DIR the booklet area is checked against the program's
// (DIR/booklet.png) pixel for pixel once the frame is out.
#include "benchsupport.h"
#include "firstframe.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTabBar>
#include <QTextEdit>

#include <cstdio>

namespace {

// The window layouts are written in twips, 15 to a pixel.
QRect twips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

QFont gothic(qreal points, bool bold)
{
    QFont font(QStringLiteral("IPAGothic"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

class Background : public QWidget
{
public:
    explicit Background(QWidget *parent) : QWidget(parent), m_picture(QStringLiteral(":/pictures/background.bmp")) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Button));
        painter.drawPixmap(0, 0, m_picture);
    }

private:
    QPixmap m_picture;
};

QLabel *caption(QWidget *parent, const QString &text, const QRect &geometry, qreal points, Qt::Alignment alignment,
                bool pink)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setFont(gothic(points, true));
    label->setAlignment(alignment | Qt::AlignTop);
    if (pink) {
        label->setAutoFillBackground(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, QColor(255, 128, 255));
        label->setPalette(palette);
    }
    return label;
}

void addRunStrip(QWidget *client)
{
    const struct { const char16_t *text; QRect geometry; } buttons[] = {
        {u"スタート", twips(480, 960, 1215, 495)},
        {u"得　点", twips(480, 3120, 1215, 495)},
        {u"合格率", twips(480, 5760, 1215, 495)},
    };
    for (const auto &button : buttons) {
        auto *push = new QPushButton(QString::fromUtf16(button.text), client);
        push->setGeometry(button.geometry);
        push->setFont(gothic(9, true));
    }
    caption(client, QStringLiteral("あと　 　　分"), twips(240, 1800, 1695, 375), 12, Qt::AlignRight, true);
    caption(client, QString(), twips(840, 1800, 735, 375), 14.25, Qt::AlignHCenter, true);
    caption(client, QStringLiteral("（平均 61,74 点）"), twips(240, 3840, 1935, 255), 9, Qt::AlignLeft, false);
    caption(client, QStringLiteral("点"), twips(480, 4320, 1215, 375), 14.25, Qt::AlignRight, true);
}

// The booklet's first screen as the program wrote it: a first line with the
// document's default tab stop, then the text as HTML.
void addBooklet(QWidget *client, const QString &handoffFolder)
{
    auto *tabs = new QTabBar(client);
    tabs->addTab(QStringLiteral("問題"));
    tabs->addTab(QStringLiteral("図１"));
    tabs->setGeometry(twips(2160, 0, 9735, 360));

    auto *view = new QTextEdit(client);
    view->setObjectName(QStringLiteral("booklet"));
    view->setReadOnly(true);
    view->setTextInteractionFlags(Qt::TextSelectableByMouse);
    view->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view->setGeometry(twips(2160 + 120, 360, 9375, 5535));
    QFile file(handoffFolder + QStringLiteral("/first-screen.html"));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench-startup-screen: %s: run bench-startup --grab-booklet first\n",
                     qPrintable(file.fileName()));
        std::exit(2);
    }
    QTextOption option = view->document()->defaultTextOption();
    option.setTabStopDistance(file.readLine().trimmed().toDouble());
    view->document()->setDefaultTextOption(option);
    view->setHtml(QString::fromUtf8(file.readAll()));
}

void addAnswerSheet(QWidget *client)
{
    auto *page = new QWidget(client);
    page->setGeometry(twips(2160, 6120, 9615, 2175));
    page->setAutoFillBackground(true);
    QPalette yellow = page->palette();
    yellow.setColor(QPalette::Window, QColor(255, 255, 0));
    page->setPalette(yellow);
    for (int row = 0; row < 3; ++row) {
        auto *tabs = new QTabBar(page);
        for (int question = row * 12 + 1; question <= row * 12 + 12; ++question)
            tabs->addTab(QStringLiteral("問%1").arg(question));
        tabs->setGeometry(0, row * 20, page->width(), 20);
    }
    auto *frame = new QGroupBox(QStringLiteral("答え"), page);
    frame->setGeometry(twips(1560, 1080, 6975, 855));
    const int lefts[] = {960, 2400, 3960, 5520};
    const int widths[] = {1095, 495, 615, 615};
    for (int box = 0; box < 4; ++box) {
        auto *check = new QCheckBox(QString(QChar(0x2460 + box)), frame);
        check->setGeometry(twips(lefts[box], 360, widths[box], 255));
    }
}

// Whether the floor's booklet area is the program's to the pixel.
void compareBooklet(QWidget *window, const QString &handoffFolder)
{
    const auto *view = window->findChild<QTextEdit *>(QStringLiteral("booklet"));
    const QImage floor = view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage program = QImage(handoffFolder + QStringLiteral("/booklet.png")).convertToFormat(QImage::Format_RGB32);
    qint64 differing = program.size() == floor.size() ? 0 : -1;
    for (int y = 0; differing >= 0 && y < floor.height(); ++y) {
        for (int x = 0; x < floor.width(); ++x)
            differing += floor.pixel(x, y) != program.pixel(x, y);
    }
    floor.save(handoffFolder + QStringLiteral("/booklet-floor.png"));
    std::printf("booklet_compare size=%dx%d program_size=%dx%d differing_pixels=%lld identical=%s\n", floor.width(),
                floor.height(), program.width(), program.height(), differing, differing == 0 ? "yes" : "no");
    std::fflush(stdout);
    std::_Exit(differing == 0 ? 0 : 1);
}

} // namespace

int main(int argc, char *argv[])
{
    const qint64 startNs = bench::processStartNs();
    QApplication app(argc, argv);
    const qint64 appNs = bench::monotonicNs();
    const QStringList arguments = QApplication::arguments();
    const qsizetype compareAt = arguments.indexOf(QStringLiteral("--compare"));
    const qsizetype bookletAt = std::max(compareAt, arguments.indexOf(QStringLiteral("--booklet")));
    const QString handoffFolder = bookletAt > 0 && bookletAt + 1 < arguments.size() ? arguments.at(bookletAt + 1)
                                                                                     : QStringLiteral(".");

    QMainWindow window;
    window.setFont(gothic(9, false));
    QMenu *game = window.menuBar()->addMenu(QStringLiteral("ゲーム(&G)"));
    game->addAction(QStringLiteral("解答・解説(&K)"));
    game->addAction(QStringLiteral("終了(&Q)"));
    window.menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"))->addAction(QStringLiteral("バージョン情報(&A)"));
    auto *client = new Background(&window);
    window.setCentralWidget(client);
    addRunStrip(client);
    addBooklet(client, handoffFolder);
    addAnswerSheet(client);
    window.resize(792, 554 + window.menuBar()->sizeHint().height());
    const qint64 windowNs = bench::monotonicNs();

    bench::FirstFrame frame(window.findChild<QTextEdit *>()->viewport(), [&](qint64 paintNs) {
        if (compareAt > 0)
            compareBooklet(&window, handoffFolder);
        bench::reportStartupAndExit("screen", startNs, appNs, windowNs, paintNs, &window);
    });
    window.show();
    return QApplication::exec();
}
