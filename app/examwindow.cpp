#include "examwindow.h"

#include "appicon.h"
#include "clock.h"
#include "fontmap.h"
#include "helpwindow.h"
#include "mediacontrol.h"
#include "richtextview.h"
#include "tabcontrol.h"
#include "verdictwindow.h"
#include "windowlayout.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <stdexcept>

namespace {

// One row of a tab control is 520 HIMETRIC units (hundredths of a millimetre) high.
constexpr qreal tabRowHeight = 520.0 / 2540.0 * 96.0;

const QColor pink(255, 128, 255);

// The client area: the background picture unscaled from the top-left corner,
// the button face beyond it when the window is made larger.
class PictureBackground : public QWidget
{
public:
    PictureBackground(const QString &picture, QWidget *parent)
        : QWidget(parent), m_picture(picture)
    {
    }

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

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setGeometry(geometry);
    button->setFont(gothicFont(9, true));
    button->setAutoDefault(false);
    return button;
}

// Left edges and widths of the check boxes within their frame, in twips.
struct BoxPlace
{
    int left;
    int width;
};
constexpr BoxPlace fourChoiceLayout[] = {{960, 1095}, {2400, 495}, {3960, 615}, {5520, 615}};
constexpr BoxPlace sixChoiceLayout[] = {{600, 735}, {1680, 495}, {2760, 735},
                                        {3840, 735}, {4920, 615}, {6000, 615}};

const QString soundFileName = QStringLiteral("Zikan.wav");

} // namespace

ExamWindow::ExamWindow(Clock *clock, QWidget *parent)
    : QMainWindow(parent)
{
    if (!clock) {
        m_ownClock = std::make_unique<SystemClock>();
        clock = m_ownClock.get();
    }
    m_clock = clock;

    fonts::installSubstitutions();
    setObjectName(QStringLiteral("frm日本史B"));
    setWindowTitle(QStringLiteral("問題 （日本史B）"));
    setWindowIcon(applicationIcon());
    setFont(gothicFont(9, false));

    buildMenu();
    auto *client = new PictureBackground(QStringLiteral(":/pictures/background.gif"), this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    buildBooklet(client);
    buildAnswerSheet(client);
    buildRunStrip(client);
    setTabOrder();

    resize(792, 554 + menuBar()->sizeHint().height());
    m_cmdスタート->setFocus();
}

ExamWindow::~ExamWindow()
{
    unloadSecondaryWindows();
}

void ExamWindow::buildMenu()
{
    m_mnuGame = menuBar()->addMenu(QStringLiteral("ゲーム(&G)"));
    m_mnuGame->setObjectName(QStringLiteral("mnuGame"));
    buildReviewMenuItem();
    m_mnuExit = m_mnuGame->addAction(QStringLiteral("終了(&Q)"));
    m_mnuExit->setObjectName(QStringLiteral("mnuExit"));
    connect(m_mnuExit, &QAction::triggered, this, &ExamWindow::mnuExit_Click);

    m_mnuHelp = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    m_mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    m_mnuAbout = m_mnuHelp->addAction(QStringLiteral("バージョン情報(&A)"));
    m_mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    connect(m_mnuAbout, &QAction::triggered, this, &ExamWindow::mnuAbout_Click);
}

void ExamWindow::buildRunStrip(QWidget *client)
{
    m_cmdスタート = makeButton(client, "cmdスタート", QStringLiteral("スタート"), twips(480, 960, 1215, 495));
    connect(m_cmdスタート, &QPushButton::clicked, this, &ExamWindow::cmdスタート_Click);

    // The remaining time stands in the blank middle of "あと　 　　分".
    m_Label1 = makeLabel(client, QStringLiteral("Label1"), QStringLiteral("あと　 　　分"), twips(240, 1800, 1695, 375),
                         gothicFont(12, true), Qt::AlignRight, pink);
    m_lbl秒 = makeLabel(client, QStringLiteral("lbl秒"), QString(), twips(840, 1800, 735, 375),
                        gothicFont(14.25, true), Qt::AlignHCenter, pink);

    m_cmd得点 = makeButton(client, "cmd得点", QStringLiteral("得　点"), twips(480, 3120, 1215, 495));
    connect(m_cmd得点, &QPushButton::clicked, this, &ExamWindow::cmd得点_Click);

    m_Label4 = makeLabel(client, QStringLiteral("Label4"), QStringLiteral("（平均 61,74 点）"), twips(240, 3840, 1935, 255),
                         gothicFont(9, true), Qt::AlignLeft);

    // The score stands to the left of the right-aligned "点".
    m_Label2 = makeLabel(client, QStringLiteral("Label2"), QStringLiteral("点"), twips(480, 4320, 1215, 375),
                         gothicFont(14.25, true), Qt::AlignRight, pink);
    m_lbl得点 = makeLabel(client, QStringLiteral("lbl得点"), QString(), twips(720, 4320, 540, 285),
                          gothicFont(14.25, true), Qt::AlignLeft, pink);
    setScoreCaption(QString());

    m_cmd合格率 = makeButton(client, "cmd合格率", QStringLiteral("合格率"), twips(480, 5760, 1215, 495));
    connect(m_cmd合格率, &QPushButton::clicked, this, &ExamWindow::cmd合格率_Click);

    m_tmr時間 = new QTimer(this);
    m_tmr時間->setObjectName(QStringLiteral("tmr時間"));
    m_tmr時間->setInterval(1000);
    m_tmr時間->setTimerType(Qt::PreciseTimer);
    connect(m_tmr時間, &QTimer::timeout, this, &ExamWindow::tmr時間_Timer);

    m_MMControl1 = new MediaControl(client);
    m_MMControl1->setObjectName(QStringLiteral("MMControl1"));
    m_MMControl1->setGeometry(twips(0, 7920, 3540, 375));
    m_MMControl1->hide();
}

void ExamWindow::buildBooklet(QWidget *client)
{
    m_SSTab1 = new TabControl(2, tabRowHeight, client);
    m_SSTab1->setObjectName(QStringLiteral("SSTab1"));
    m_SSTab1->setGeometry(twips(2160, 0, 9735, 6015));
    m_SSTab1->setPageColor(palette().color(QPalette::Button));

    const int bookletPage = m_SSTab1->addPage(QStringLiteral("問題"));
    m_RichTextBox1 = new RichTextView(m_SSTab1->page(bookletPage));
    m_RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    m_RichTextBox1->setGeometry(twips(120, 360, 9375, 5535));
    // The booklet is many times longer than its box: with the scroll bar there from
    // the start, the document is laid out once, at its final width.
    m_RichTextBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_RichTextBox1->loadRtfFile(QStringLiteral(":/documents/booklet.rtf"));

    const int figurePage = m_SSTab1->addPage(QStringLiteral("図１"));
    m_Picture1 = new QLabel(m_SSTab1->page(figurePage));
    m_Picture1->setObjectName(QStringLiteral("Picture1"));
    m_Picture1->setGeometry(twips(1200, 480, 7335, 5175));
    m_Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_Picture1->setPixmap(QPixmap(QStringLiteral(":/pictures/figure1.jpg")));
    m_Picture1->setAccessibleName(QStringLiteral("図１"));
}

void ExamWindow::buildAnswerSheet(QWidget *client)
{
    m_SSTab2 = new TabControl(12, tabRowHeight, client);
    m_SSTab2->setObjectName(QStringLiteral("SSTab2"));
    m_SSTab2->setGeometry(twips(2160, 6120, 9615, 2175));
    m_SSTab2->setPageColor(QColor(255, 255, 0));

    const QPixmap markPicture(QStringLiteral(":/pictures/maru.ico"));
    for (int question = 1; question <= questionCount; ++question) {
        const AnswerKeyRow &row = answerKey[question - 1];
        const QString caption = answerPageCaption(question);
        QWidget *page = m_SSTab2->page(m_SSTab2->addPage(caption));
        AnswerPage &sheet = m_pages[question - 1];

        sheet.frame = new QGroupBox(QStringLiteral("答え"), page);
        sheet.frame->setObjectName(QStringLiteral("Frame%1").arg(question));
        sheet.frame->setGeometry(twips(1560, 1080, 6975, 855));

        const BoxPlace *places = row.choices == 6 ? sixChoiceLayout : fourChoiceLayout;
        for (int box = 1; box <= row.choices; ++box) {
            auto *check = new QCheckBox(circledDigit(box), sheet.frame);
            check->setObjectName(QStringLiteral("chk日本史B%1(%2)").arg(question).arg(box));
            check->setGeometry(twips(places[box - 1].left, 360, places[box - 1].width, 255));
            check->setAccessibleName(caption + QLatin1Char(' ') + circledDigit(box));
            sheet.boxes[box - 1] = check;
        }

        sheet.mark = new QLabel(page);
        sheet.mark->setObjectName(QStringLiteral("pctマル(%1)").arg(question));
        sheet.mark->setGeometry(twips(600, 1320, 495, 495));
        sheet.mark->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        sheet.mark->setPixmap(markPicture);
        sheet.mark->setAccessibleName(caption + QStringLiteral(" 正解"));
        sheet.mark->hide();
    }
}

void ExamWindow::setTabOrder()
{
    QList<QWidget *> order{m_cmdスタート, m_SSTab1, m_Picture1, m_RichTextBox1, m_SSTab2};
    for (const AnswerPage &page : m_pages) {
        for (QCheckBox *box : page.boxes) {
            if (box)
                order.append(box);
        }
    }
    order << m_MMControl1 << m_Label1 << m_lbl秒 << m_cmd得点 << m_Label4 << m_Label2 << m_lbl得点
          << m_cmd合格率;
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

// The score label sizes itself to its caption, keeping its left and top edges.
void ExamWindow::setScoreCaption(const QString &caption)
{
    m_lbl得点->setText(caption);
    const int width = caption.isEmpty() ? 0 : m_lbl得点->fontMetrics().horizontalAdvance(caption);
    m_lbl得点->resize(width, m_lbl得点->height());
    m_lbl得点->setVisible(width > 0);
}

QCheckBox *ExamWindow::checkBox(int question, int box) const
{
    if (question < 1 || question > questionCount || box < 1 || box > 6)
        return nullptr;
    return m_pages[question - 1].boxes[box - 1];
}

QLabel *ExamWindow::mark(int question) const
{
    if (question < 1 || question > questionCount)
        return nullptr;
    return m_pages[question - 1].mark;
}

void ExamWindow::cmdスタート_Click()
{
    m_tmr時間->start();
    m_countdown.start(m_clock->timeOfDay(), m_clock->monotonicMs());
    CountdownMinutes = Countdown::runMinutes;
    RemainingTime = timeSerial(CountdownHours.toInt(), CountdownMinutes.toInt(), CountdownSeconds.toInt());
    m_lbl秒->setText(RemainingTime.toTime().toString(QStringLiteral("h:mm")));
    m_cmdスタート->setEnabled(false);
    setScoreCaption(QString());
    for (const AnswerPage &page : m_pages)
        page.mark->hide();
    keepMarking(std::nullopt);
}

void ExamWindow::tmr時間_Timer()
{
    const int left = m_countdown.minutesLeft(m_clock->monotonicMs());
    if (left != CountdownMinutes.toInt()) {
        CountdownMinutes = left;
        CountdownSeconds = 0;
        RemainingTime = timeSerial(CountdownHours.toInt(), CountdownMinutes.toInt(), CountdownSeconds.toInt());
        m_lbl秒->setText(RemainingTime.toTime().toString(QStringLiteral("h:mm")));
    }

    // Re-opened every second, so a sound file put in place during the run is used.
    m_MMControl1->setFileName(AppPath() + soundFileName);
    m_MMControl1->setCommand(QStringLiteral("Open"));

    if (m_lbl秒->text() == QLatin1String("0:00")) {
        m_tmr時間->stop();
        PlaySound(AppPath() + soundFileName);
    }
}

void ExamWindow::PlaySound(const QString &)
{
    m_MMControl1->setCommand(QStringLiteral("Prev"));
    m_MMControl1->setCommand(QStringLiteral("Play"));
}

QString ExamWindow::AppPath() const
{
    return withTrailingSeparator(QCoreApplication::applicationDirPath());
}

void ExamWindow::cmd得点_Click()
{
    std::array<qint32, questionCount + 1> QuestionPoints{};
    Marking marking;

    m_cmdスタート->setEnabled(true);
    m_lbl秒->setText(QString());
    m_tmr時間->stop();

    for (int question = 1; question <= questionCount; ++question) {
        const AnswerKeyRow &row = answerKey[question - 1];
        const AnswerPage &page = m_pages[question - 1];
        const bool correct = answeredCorrectly(row, [&page](int box) {
            return page.boxes[box - 1]->isChecked();
        });
        page.mark->setVisible(correct);
        if (correct)
            QuestionPoints[question] = row.points;
        for (int box = 1; box <= row.choices; ++box)
            marking.question(question).setTicked(box, page.boxes[box - 1]->isChecked());
        marking.question(question).points = QuestionPoints[question];
    }

    qint32 ScoreTotal = 0;
    for (int question = 1; question <= questionCount; ++question) {
        if (__builtin_add_overflow(ScoreTotal, QuestionPoints[question], &ScoreTotal))
            throw std::overflow_error("score total overflows");
    }
    setScoreCaption(QString::number(ScoreTotal));
    marking.total = ScoreTotal;
    keepMarking(marking);
}

void ExamWindow::cmd合格率_Click()
{
    const int band = verdictBandFor(m_lbl得点->text());
    if (band == 0)
        return;
    QPointer<VerdictWindow> &window = m_verdictWindows[band - 1];
    if (!window)
        window = new VerdictWindow(band);
    window->show();
    window->raise();
    window->activateWindow();
}

void ExamWindow::mnuAbout_Click()
{
    if (!m_helpWindow)
        m_helpWindow = new HelpWindow;
    m_helpWindow->show();
    m_helpWindow->raise();
    m_helpWindow->activateWindow();
}

void ExamWindow::mnuExit_Click()
{
    close();
}

// Closing the exam window, by the menu or the title bar, unloads every other window too,
// so the program ends.
void ExamWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    unloadSecondaryWindows();
}

void ExamWindow::unloadSecondaryWindows()
{
    for (QPointer<VerdictWindow> &window : m_verdictWindows) {
        if (window)
            delete window.data();
    }
    if (m_helpWindow)
        delete m_helpWindow.data();
    unloadReviewWindow();
}

VerdictWindow *ExamWindow::verdictWindow(int band) const
{
    return band >= 1 && band <= 6 ? m_verdictWindows[band - 1].data() : nullptr;
}

HelpWindow *ExamWindow::helpWindow() const
{
    return m_helpWindow.data();
}
