// The exam window as it opens: the run strip, the booklet and figure, the answer
// sheet, the tab order, and what assistive technology reads from them.
#include "examwindow.h"

#include "answerframe.h"
#include "commandbutton.h"
#include "examfont.h"
#include "mediacontrol.h"
#include "runtimeerror.h"
#include "richtextview.h"
#include "rtfreader.h"
#include "screenpicture.h"
#include "tabcontrol.h"
#include "windowlayout.h"

#include <QCheckBox>
#include <QLabel>
#include <QTimer>

namespace {

// One row of a tab control is 520 HIMETRIC units (hundredths of a millimetre) high.
constexpr qreal tabRowHeight = 520.0 / 2540.0 * 96.0;

const QColor pink(255, 128, 255);

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, const QRect &geometry)
{
    auto *button = new CommandButton(caption, parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setGeometry(geometry);
    button->setFont(examFont(9, true));
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

// 図１ in words, for those who cannot see it: kilometres open at the end of each
// fiscal year, government lines against private lines.
struct FigureYear
{
    int year;
    const char *governmentLines;
    const char *privateLines;
};
constexpr FigureYear figureYears[] = {
    {1872, "29", "0"},        {1877, "105", "0"},       {1882, "274", "0"},
    {1887, "483", "472"},     {1889, "886", "942"},     {1892, "885", "2,124"},
    {1896, "1,016", "3,015"}, {1899, "1,339", "4,516"}, {1902, "1,973", "4,844"},
    {1905, "2,465", "5,231"}, {1907, "7,100", "700"},   {1910, "7,800", "800"},
};

QString figureDescription()
{
    QStringList years;
    for (const FigureYear &row : figureYears) {
        years << QStringLiteral("%1年度 官設%2、民営%3")
                     .arg(row.year)
                     .arg(QString::fromUtf8(row.governmentLines), QString::fromUtf8(row.privateLines));
    }
    return QStringLiteral("棒グラフ「図１　官設（国有）鉄道と民営鉄道の営業キロの推移」。"
                          "年度ごとの営業キロ（km）を、官設（国有）鉄道は黒い棒、民営鉄道は斜線の棒で示す。"
                          "縦軸は0から9,000キロ。")
        + years.join(QStringLiteral("。")) + QStringLiteral("。")
        + QStringLiteral("出典：日本国有鉄道『日本国有鉄道百年史』などにより作成。"
                         "注：各年度末の数値。1907年・1910年は概数。");
}

} // namespace

void ExamWindow::buildRunStrip(QWidget *client)
{
    m_startButton = makeButton(client, "cmdスタート", QStringLiteral("スタート"), twips(480, 960, 1215, 495));
    connect(m_startButton, &QPushButton::clicked, this, guarded([this] { onStartClicked(); }));

    // The remaining time stands in the blank middle of "あと　 　　分".
    m_remainingTimeFrame = makeLabel(client, QStringLiteral("Label1"), QStringLiteral("あと　 　　分"), twips(240, 1800, 1695, 375),
                         examFont(12, true), Qt::AlignRight, pink);
    m_remainingTimeLabel = makeLabel(client, QStringLiteral("lbl秒"), QString(), twips(840, 1800, 735, 375),
                        examFont(14.25, true), Qt::AlignHCenter, pink);
    showRemainingTime(std::nullopt);

    m_scoreButton = makeButton(client, "cmd得点", QStringLiteral("得　点"), twips(480, 3120, 1215, 495));
    connect(m_scoreButton, &QPushButton::clicked, this, guarded([this] { onScoreClicked(); }));

    m_averageLabel = makeLabel(client, QStringLiteral("Label4"), QStringLiteral("（平均 61,74 点）"), twips(240, 3840, 1935, 255),
                         examFont(9, true), Qt::AlignLeft);

    // The score stands to the left of the right-aligned "点".
    m_pointsUnitLabel = makeLabel(client, QStringLiteral("Label2"), QStringLiteral("点"), twips(480, 4320, 1215, 375),
                         examFont(14.25, true), Qt::AlignRight, pink);
    m_scoreLabel = makeLabel(client, QStringLiteral("lbl得点"), QString(), twips(720, 4320, 540, 285),
                          examFont(14.25, true), Qt::AlignLeft, pink);
    showScore(std::nullopt);

    m_passRateButton = makeButton(client, "cmd合格率", QStringLiteral("合格率"), twips(480, 5760, 1215, 495));
    connect(m_passRateButton, &QPushButton::clicked, this, guarded([this] { onPassRateClicked(); }));

    m_countdownTimer = new QTimer(this);
    m_countdownTimer->setObjectName(QStringLiteral("tmr時間"));
    m_countdownTimer->setInterval(1000);
    m_countdownTimer->setTimerType(Qt::PreciseTimer);
    connect(m_countdownTimer, &QTimer::timeout, this, guarded([this] { onTimerTick(); }));

    m_soundDevice = new MediaControl(client);
    m_soundDevice->setObjectName(QStringLiteral("MMControl1"));
    m_soundDevice->setGeometry(twips(0, 7920, 3540, 375));
    m_soundDevice->hide();
    m_soundDevice->setFileName(timeUpSoundPath());
}

void ExamWindow::buildBooklet(QWidget *client)
{
    m_bookletTabs = new TabControl(2, tabRowHeight, client);
    m_bookletTabs->setObjectName(QStringLiteral("SSTab1"));
    m_bookletTabs->setAccessibleName(QStringLiteral("問題と図"));
    m_bookletTabs->setGeometry(twips(2160, 0, 9735, 6015));
    m_bookletTabs->setPageColor(palette().color(QPalette::Button));

    const int bookletPage = m_bookletTabs->addPage(QStringLiteral("問題"));
    m_bookletView = new RichTextView(m_bookletTabs->page(bookletPage));
    m_bookletView->setObjectName(QStringLiteral("RichTextBox1"));
    m_bookletView->setAccessibleName(QStringLiteral("問題冊子"));
    m_bookletView->setGeometry(twips(120, 360, 9375, 5535));
    // The booklet is many times longer than its box: with the scroll bar there from
    // the start, the document is laid out once, at its final width.
    m_bookletView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    const QString booklet = QStringLiteral(":/documents/booklet.rtf");
    // Its first screen is shown before the rest is read (examreview.cpp reads it all
    // before it looks for the sections' headings).
    m_bookletView->loadRtfFile(booklet, RichTextView::Pace::FirstScreenFirst);

    const int figurePage = m_bookletTabs->addPage(QStringLiteral("図１"));
    m_figure = new QLabel(m_bookletTabs->page(figurePage));
    m_figure->setObjectName(QStringLiteral("Picture1"));
    m_figure->setGeometry(twips(1200, 480, 7335, 5175));
    m_figure->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_figure->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_figure->setPixmap(
        screenPicture(QStringLiteral(":/pictures/figure1.bmp"), QStringLiteral(":/pictures/figure1@2x.jpg")));
    m_figure->setAccessibleName(QStringLiteral("図１"));
    m_figure->setAccessibleDescription(figureDescription());
}

void ExamWindow::buildAnswerSheet(QWidget *client)
{
    m_answerTabs = new TabControl(12, tabRowHeight, client);
    m_answerTabs->setObjectName(QStringLiteral("SSTab2"));
    m_answerTabs->setAccessibleName(QStringLiteral("解答用紙"));
    m_answerTabs->setGeometry(twips(2160, 6120, 9615, 2175));
    m_answerTabs->setPageColor(QColor(255, 255, 0));

    const QPixmap markPicture =
        screenPicture(QStringLiteral(":/pictures/maru.ico"), QStringLiteral(":/pictures/maru@2x.png"));
    for (int question = 1; question <= questionCount; ++question) {
        const AnswerKeyRow &row = answerKey[question - 1];
        const QString caption = answerPageCaption(question);
        QWidget *page = m_answerTabs->page(m_answerTabs->addPage(caption));
        AnswerPage &sheet = m_pages[question - 1];

        sheet.frame = new AnswerFrame(QStringLiteral("答え"), page);
        sheet.frame->setObjectName(QStringLiteral("Frame%1").arg(question));
        sheet.frame->setGeometry(twips(1560, 1080, 6975, 855));

        const BoxPlace *places = row.choices == 6 ? sixChoiceLayout : fourChoiceLayout;
        for (int box = 1; box <= row.choices; ++box) {
            auto *check = new QCheckBox(circledDigit(box), sheet.frame);
            check->setObjectName(QStringLiteral("chk日本史B%1(%2)").arg(question).arg(box));
            check->setGeometry(twips(places[box - 1].left, 360, places[box - 1].width, 255));
            check->setAccessibleName(caption + QLatin1Char(' ') + circledDigit(box));
            connect(check, &QCheckBox::toggled, this, [this, question] { describeAnswer(question); });
            sheet.boxes[box - 1] = check;
        }
        describeAnswer(question);

        sheet.mark = new QLabel(page);
        sheet.mark->setObjectName(QStringLiteral("pctマル(%1)").arg(question));
        sheet.mark->setGeometry(twips(600, 1320, 495, 495));
        sheet.mark->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        sheet.mark->setPixmap(markPicture);
        sheet.mark->setAccessibleName(QStringLiteral("正解"));
        sheet.mark->setAccessibleDescription(caption);
        sheet.mark->hide();
    }
}

// The tab order as laid out, with the controls that cannot take the focus (the
// figure, the sound device, the labels) left out: Qt ignores a pair that has one.
void ExamWindow::setTabOrder()
{
    QList<QWidget *> order{m_startButton, m_bookletTabs, m_figure, m_bookletView, m_answerTabs};
    for (const AnswerPage &page : m_pages) {
        for (QCheckBox *box : page.boxes) {
            if (box)
                order.append(box);
        }
    }
    order << m_soundDevice << m_remainingTimeFrame << m_remainingTimeLabel << m_scoreButton << m_averageLabel << m_pointsUnitLabel << m_scoreLabel
          << m_passRateButton;
    order.removeIf([](const QWidget *widget) { return !(widget->focusPolicy() & Qt::TabFocus); });
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

// Read out as "残り時間 0:59 分", as the strip reads with its frame label around it.
void ExamWindow::showRemainingTime(std::optional<int> minutesLeft)
{
    m_minutesShown = minutesLeft;
    const QString caption = minutesLeft ? remainingTimeCaption(*minutesLeft) : QString();
    m_remainingTimeLabel->setText(caption);
    m_remainingTimeLabel->setAccessibleName(caption.isEmpty() ? QStringLiteral("残り時間 なし")
                                                             : QStringLiteral("残り時間 %1 分").arg(caption));
}

// The score label sizes itself to its caption, keeping its left and top edges; it
// is read out as "得点 79 点".
void ExamWindow::showScore(std::optional<int> score)
{
    m_score = score;
    const QString caption = score ? QString::number(*score) : QString();
    m_scoreLabel->setText(caption);
    const int width = caption.isEmpty() ? 0 : m_scoreLabel->fontMetrics().horizontalAdvance(caption);
    m_scoreLabel->resize(width, m_scoreLabel->height());
    m_scoreLabel->setVisible(width > 0);
    m_scoreLabel->setAccessibleName(caption.isEmpty() ? QStringLiteral("得点 なし")
                                                      : QStringLiteral("得点 %1 点").arg(caption));
}

// An answer tab tells assistive technology which boxes of its page are ticked.
void ExamWindow::describeAnswer(int question)
{
    const QString ticked = tickedBoxes(question);
    m_answerTabs->setTabDescription(question - 1, ticked.isEmpty() ? QStringLiteral("未解答") : ticked);
}

// The circled digits of the boxes ticked on a question's page, in order.
QString ExamWindow::tickedBoxes(int question) const
{
    QString ticked;
    for (int box = 1; box <= 6; ++box) {
        if (const QCheckBox *check = m_pages[question - 1].boxes[box - 1]; check && check->isChecked())
            ticked += circledDigit(box);
    }
    return ticked;
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
