#include "examwindow.h"

#include "appicon.h"
#include "clock.h"
#include "focusmarkstyle.h"
#include "fontmap.h"
#include "helpwindow.h"
#include "mediacontrol.h"
#include "programfolder.h"
#include "runtimeerror.h"
#include "verdictwindow.h"
#include "windowlayout.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <stdexcept>

namespace {

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

    m_focusMarkStyle = new FocusMarkStyle;
    m_focusMarkStyle->setParent(this);

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
    for (QAbstractButton *control : client->findChildren<QAbstractButton *>())
        control->setStyle(m_focusMarkStyle);

    // Never smaller than laid out, so no control is cut off.
    client->setMinimumSize(792, 554);
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
    connect(m_mnuExit, &QAction::triggered, this, guarded([this] { mnuExit_Click(); }));

    m_mnuHelp = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    m_mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    m_mnuAbout = m_mnuHelp->addAction(QStringLiteral("バージョン情報(&A)"));
    m_mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    connect(m_mnuAbout, &QAction::triggered, this, guarded([this] { mnuAbout_Click(); }));
}

void ExamWindow::cmdスタート_Click()
{
    m_tmr時間->start();
    m_countdown.start(m_clock->timeOfDay(), m_clock->monotonicMs());
    CountdownMinutes = Countdown::runMinutes;
    RemainingTime = timeSerial(CountdownHours.toInt(), CountdownMinutes.toInt(), CountdownSeconds.toInt());
    setRemainingTimeCaption(RemainingTime.toTime().toString(QStringLiteral("h:mm")));
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
        setRemainingTimeCaption(RemainingTime.toTime().toString(QStringLiteral("h:mm")));
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
    setRemainingTimeCaption(QString());
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
// so the program ends: the exam window first, then the verdict windows in order, then
// the help window.
void ExamWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    hide();
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
