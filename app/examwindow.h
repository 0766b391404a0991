#pragma once

#include "answerkey.h"
#include "countdown.h"
#include "marking.h"
#include "runtiming.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>
#include <optional>

class Announcer;
class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QStyle;
class QTimer;
class Clock;
class HelpWindow;
class LostWindowWatch;
class MediaControl;
class ReviewWindow;
class RichTextView;
class TabControl;
class VerdictWindow;

// The exam window: the question booklet and figure, the answer sheet, the run
// controls, the countdown and the marking. It is the program's main window.
class ExamWindow : public QMainWindow
{
    Q_OBJECT

public:
    // clock: what the countdown reads; the system clock when none is given.
    explicit ExamWindow(Clock *clock = nullptr, QWidget *parent = nullptr);
    ~ExamWindow() override;

    void onStartClicked();
    void onTimerTick();
    void onScoreClicked();
    void onPassRateClicked();
    void onExitTriggered();
    void onAboutTriggered();
    void onReviewTriggered();

    // Rewinds and plays whatever the sound device has open.
    void playTimeUpSound();

    QCheckBox *checkBox(int question, int box) const;
    QLabel *mark(int question) const;

    // The single instances of the secondary windows, null while not loaded.
    VerdictWindow *verdictWindow(int band) const;
    HelpWindow *helpWindow() const;
    ReviewWindow *reviewWindow() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    struct AnswerPage
    {
        QGroupBox *frame = nullptr;
        std::array<QCheckBox *, 6> boxes{};
        QLabel *mark = nullptr;
    };

    void buildMenu();
    void buildRunStrip(QWidget *client);
    void buildBooklet(QWidget *client);
    void buildAnswerSheet(QWidget *client);
    void setTabOrder();
    // The labels only show these; the minutes and the score live in the members below.
    void showRemainingTime(std::optional<int> minutesLeft);
    void showScore(std::optional<int> score);
    void describeAnswer(int question);
    void unloadSecondaryWindows();
    // The review (app/examreview.cpp): its menu item, the marking it shows and the
    // run's timing, which only watches what the student looks at and ticks.
    void buildReviewMenuItem();
    void watchRunForReview();
    int sectionInSight() const;
    const std::array<int, sectionCount> &sectionHeadingBlocks() const;
    void noteSectionInSight();
    void beginRun();
    void keepMarking(const Marking &marking);
    void unloadReviewWindow();
    // What a screen reader is told without the focus moving (app/examspeech.cpp): the
    // countdown's last minutes, the time when asked by its key, the answer page chosen
    // and the score. Nothing of it shows.
    void buildAnnouncements(QWidget *client);
    void announceCountdown(int minutesLeft);
    void announceRemainingTime();
    void announceAnswerPage(int index);
    void announceScore();
    QString tickedBoxes(int question) const;
    QString timeUpSoundPath() const;

    // Focus marks that show however the focus came; the buttons and check boxes
    // use it (and hold it by a guarded pointer, so their order of deletion is free).
    QStyle *m_focusMarkStyle = nullptr;
    std::unique_ptr<Clock> m_ownClock;
    std::unique_ptr<LostWindowWatch> m_lostWindowWatch;
    Clock *m_clock = nullptr;
    Countdown m_countdown;

    // Minutes left of the run as the remaining-time label shows them; 60 at Start.
    int m_minutesLeft = 0;
    // What the remaining-time label shows: none while it is empty.
    std::optional<int> m_minutesShown;
    // The total of the last Score; none before it and after Start.
    std::optional<int> m_score;

    QMenu *m_gameMenu = nullptr;
    QAction *m_reviewAction = nullptr;
    QAction *m_exitAction = nullptr;
    QMenu *m_helpMenu = nullptr;
    QAction *m_aboutAction = nullptr;

    QPushButton *m_startButton = nullptr;
    QLabel *m_remainingTimeFrame = nullptr;
    QLabel *m_remainingTimeLabel = nullptr;
    QPushButton *m_scoreButton = nullptr;
    QLabel *m_averageLabel = nullptr;
    QLabel *m_pointsUnitLabel = nullptr;
    QLabel *m_scoreLabel = nullptr;
    QPushButton *m_passRateButton = nullptr;
    QTimer *m_countdownTimer = nullptr;
    MediaControl *m_soundDevice = nullptr;
    Announcer *m_announcer = nullptr;

    TabControl *m_bookletTabs = nullptr;
    RichTextView *m_bookletView = nullptr;
    QLabel *m_figure = nullptr;
    TabControl *m_answerTabs = nullptr;
    std::array<AnswerPage, questionCount> m_pages{};

    std::array<QPointer<VerdictWindow>, 6> m_verdictWindows{};
    QPointer<HelpWindow> m_helpWindow;
    QPointer<ReviewWindow> m_reviewWindow;
    // What the last press of Score found; none before the first one and after Start.
    std::optional<Marking> m_lastMarking;
    // Where the minutes of the run go; block numbers of the booklet's section headings.
    RunTiming m_runTiming;
    mutable std::array<int, sectionCount> m_sectionHeadingBlocks{};   // found on first use
    mutable bool m_sectionHeadingsFound = false;
};
