#include "examwindow.h"

#include "appicon.h"
#include "clock.h"
#include "examfont.h"
#include "focusmarkstyle.h"
#include "fontmap.h"
#include "helpwindow.h"
#include "lostwindowwatch.h"
#include "mediacontrol.h"
#include "programfolder.h"
#include "runtimeerror.h"
#include "screenpicture.h"
#include "verdict.h"
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
#include <QtNumeric>
#include <stdexcept>

namespace {

// The client area: the background picture unscaled from the top-left corner,
// the button face beyond it when the window is made larger.
class PictureBackground : public QWidget
{
public:
    PictureBackground(const QPixmap &picture, QWidget *parent)
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

const QString soundFileName = QStringLiteral(NIHONSHIB_TIME_UP_SOUND);

} // namespace

ExamWindow::ExamWindow(Clock *clock, QWidget *parent)
    : QMainWindow(parent)
{
    if (!clock) {
        m_ownClock = std::make_unique<SystemClock>();
        clock = m_ownClock.get();
    }
    m_clock = clock;
    m_lostWindowWatch = std::make_unique<LostWindowWatch>();
    QCoreApplication::instance()->installNativeEventFilter(m_lostWindowWatch.get());

    m_focusMarkStyle = new FocusMarkStyle;
    m_focusMarkStyle->setParent(this);

    fonts::installSubstitutions();
    setObjectName(QStringLiteral("frm日本史B"));
    setWindowTitle(QStringLiteral("問題 （日本史B）"));
    setWindowIcon(applicationIcon());
    setFont(examFont(9, false));

    buildMenu();
    auto *client = new PictureBackground(
        screenPicture(QStringLiteral(":/pictures/background.bmp"), QStringLiteral(":/pictures/background@2x.gif")), this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    buildBooklet(client);
    buildAnswerSheet(client);
    buildRunStrip(client);
    buildAnnouncements(client);
    setTabOrder();
    watchRunForReview();
    for (QAbstractButton *control : client->findChildren<QAbstractButton *>())
        control->setStyle(m_focusMarkStyle);

    // Never smaller than laid out, so no control is cut off.
    client->setMinimumSize(792, 554);
    resize(792, 554 + menuBar()->sizeHint().height());
    m_startButton->setFocus();
}

ExamWindow::~ExamWindow()
{
    unloadSecondaryWindows();
}

void ExamWindow::buildMenu()
{
    m_gameMenu = menuBar()->addMenu(QStringLiteral("ゲーム(&G)"));
    m_gameMenu->setObjectName(QStringLiteral("mnuGame"));
    buildReviewMenuItem();
    m_exitAction = m_gameMenu->addAction(QStringLiteral("終了(&Q)"));
    m_exitAction->setObjectName(QStringLiteral("mnuExit"));
    connect(m_exitAction, &QAction::triggered, this, guarded([this] { onExitTriggered(); }));

    m_helpMenu = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    m_helpMenu->setObjectName(QStringLiteral("mnuHelp"));
    m_aboutAction = m_helpMenu->addAction(QStringLiteral("バージョン情報(&A)"));
    m_aboutAction->setObjectName(QStringLiteral("mnuAbout"));
    connect(m_aboutAction, &QAction::triggered, this, guarded([this] { onAboutTriggered(); }));
}

void ExamWindow::onStartClicked()
{
    m_countdownTimer->start();
    m_countdown.start(m_clock->timeOfDay(), m_clock->monotonicMs());
    m_minutesLeft = Countdown::runMinutes;
    showRemainingTime(m_minutesLeft);
    m_startButton->setEnabled(false);
    showScore(std::nullopt);
    for (const AnswerPage &page : m_pages)
        page.mark->hide();
    beginRun();
}

void ExamWindow::onTimerTick()
{
    const int left = m_countdown.minutesLeft(m_clock->monotonicMs());
    if (left != m_minutesLeft) {
        m_minutesLeft = left;
        showRemainingTime(m_minutesLeft);
        announceCountdown(m_minutesLeft);
    }

    // Opened every second, so a sound file put in place during the run is used; the
    // device reads the file again only when it has changed.
    m_soundDevice->setCommand(QStringLiteral("Open"));

    if (m_minutesLeft == 0) {
        m_countdownTimer->stop();
        playTimeUpSound();
    }
}

void ExamWindow::playTimeUpSound()
{
    m_soundDevice->setCommand(QStringLiteral("Prev"));
    m_soundDevice->setCommand(QStringLiteral("Play"));
}

QString ExamWindow::timeUpSoundPath() const
{
    return withTrailingSeparator(QCoreApplication::applicationDirPath()) + soundFileName;
}

void ExamWindow::onScoreClicked()
{
    m_startButton->setEnabled(true);
    showRemainingTime(std::nullopt);
    m_countdownTimer->stop();

    std::array<TickedBoxes, questionCount> ticks{};
    for (int question = 1; question <= questionCount; ++question) {
        const AnswerPage &page = m_pages[size_t(question - 1)];
        for (int box = 1; box <= answerKey[size_t(question - 1)].choices; ++box) {
            if (page.boxes[size_t(box - 1)]->isChecked())
                ticks[size_t(question - 1)] |= TickedBoxes(1u << (box - 1));
        }
    }
    const Marking marking = markSheet(ticks);
    for (int question = 1; question <= questionCount; ++question)
        m_pages[size_t(question - 1)].mark->setVisible(marking.question(question).points > 0);
    showScore(marking.total);
    announceScore();
    keepMarking(marking);
}

void ExamWindow::onPassRateClicked()
{
    const int band = verdictBandFor(m_score);
    if (band == 0)
        return;
    QPointer<VerdictWindow> &window = m_verdictWindows[band - 1];
    if (!window)
        window = new VerdictWindow(band);
    window->show();
    window->raise();
    window->activateWindow();
}

void ExamWindow::onAboutTriggered()
{
    if (!m_helpWindow)
        m_helpWindow = new HelpWindow;
    m_helpWindow->show();
    m_helpWindow->raise();
    m_helpWindow->activateWindow();
}

void ExamWindow::onExitTriggered()
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
