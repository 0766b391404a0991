#pragma once

#include "answerkey.h"
#include "countdown.h"
#include "marking.h"

#include <QMainWindow>
#include <QPointer>
#include <QTime>
#include <QVariant>
#include <array>
#include <memory>
#include <optional>

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

    void cmdスタート_Click();
    void tmr時間_Timer();
    void cmd得点_Click();
    void cmd合格率_Click();
    void mnuExit_Click();
    void mnuAbout_Click();
    void mnuReview_Click();

    void PlaySound(const QString &file);

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
    void setRemainingTimeCaption(const QString &caption);
    void setScoreCaption(const QString &caption);
    void describeAnswer(int question);
    void unloadSecondaryWindows();
    // The review (app/examreview.cpp): its menu item, and the marking it shows.
    void buildReviewMenuItem();
    void keepMarking(const std::optional<Marking> &marking);
    void unloadReviewWindow();
    QString AppPath() const;

    // Focus marks that show however the focus came; the buttons and check boxes
    // use it (and hold it by a guarded pointer, so their order of deletion is free).
    QStyle *m_focusMarkStyle = nullptr;
    std::unique_ptr<Clock> m_ownClock;
    Clock *m_clock = nullptr;
    Countdown m_countdown;

    // The countdown as the run shows it: hours (never set, so 0), minutes
    // left, seconds (always 0), and the time of day they make.
    QVariant CountdownHours;
    QVariant CountdownMinutes;
    QVariant CountdownSeconds;
    QVariant RemainingTime;

    QMenu *m_mnuGame = nullptr;
    QAction *m_mnuReview = nullptr;
    QAction *m_mnuExit = nullptr;
    QMenu *m_mnuHelp = nullptr;
    QAction *m_mnuAbout = nullptr;

    QPushButton *m_cmdスタート = nullptr;
    QLabel *m_Label1 = nullptr;
    QLabel *m_lbl秒 = nullptr;
    QPushButton *m_cmd得点 = nullptr;
    QLabel *m_Label4 = nullptr;
    QLabel *m_Label2 = nullptr;
    QLabel *m_lbl得点 = nullptr;
    QPushButton *m_cmd合格率 = nullptr;
    QTimer *m_tmr時間 = nullptr;
    MediaControl *m_MMControl1 = nullptr;

    TabControl *m_SSTab1 = nullptr;
    RichTextView *m_RichTextBox1 = nullptr;
    QLabel *m_Picture1 = nullptr;
    TabControl *m_SSTab2 = nullptr;
    std::array<AnswerPage, questionCount> m_pages{};

    std::array<QPointer<VerdictWindow>, 6> m_verdictWindows{};
    QPointer<HelpWindow> m_helpWindow;
    QPointer<ReviewWindow> m_reviewWindow;
    // What the last press of Score found; none before the first one and after Start.
    std::optional<Marking> m_lastMarking;
};
