#pragma once

#include "bookletquotes.h"
#include "explanations.h"
#include "marking.h"
#include "reviewdocument.h"
#include "runtiming.h"

#include <QList>
#include <QWidget>
#include <functional>
#include <optional>

class Announcer;
class QAction;
class QKeyEvent;
class QLabel;
class QPagedPaintDevice;
class QStackedLayout;
class QTimer;
class RichTextView;

// The review of the last marking: the mistakes, where the run's minutes went, the
// points by era and theme, and every question in the booklet's words with the ticks,
// the key's answer, the points and the explanation. Until there is a marking it
// shows only a notice.
class ReviewWindow : public QWidget
{
    Q_OBJECT

public:
    // bookletText: the booklet as the exam window shows it, which the review quotes.
    explicit ReviewWindow(const QString &bookletText, QWidget *parent = nullptr);

    // Shows the review of the marking, or the notice when there is none. The first
    // marking after the notice shows from the top; a later one keeps the reading place.
    // timing: the run the marking ended, when it was started with Start.
    void showMarking(const std::optional<Marking> &marking, const std::optional<RunTiming> &timing = std::nullopt);

    // Opens beside the main window where the screen has room; otherwise over it,
    // ending above keepVisibleTop (screen coordinates) where there is room for that.
    void placeBeside(const QWidget *mainWindow, int keepVisibleTop);

    // The review as it stands, at its own sizes (whatever the zoom), charts included,
    // a page header with the date and the score on every page and no entry split
    // across pages where it fits on one.
    void print(QPagedPaintDevice *printer);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<int> entriesInSight(int top) const;
    void writePendingEntries();
    void finishRewrite();
    void keepReadingPlace(const std::function<void()> &write);
    void onPrintTriggered();
    void showQuestion(int question);
    int linkAtCaret() const;
    bool handleKey(const QKeyEvent &key);
    void selectLink(bool forward);
    void followLink(int question, bool moveCaret);
    void goBack();

    // Where a link was followed from: the caret (with its selection) and the view.
    struct Place
    {
        int anchor = 0;
        int position = 0;
        int scroll = 0;
    };

    QStackedLayout *m_pages = nullptr;
    QLabel *m_noticeLabel = nullptr;
    RichTextView *m_reviewView = nullptr;
    Announcer *m_announcer = nullptr; // says the link Tab selects and where Return or Alt+Left led
    QAction *m_printAction = nullptr;
    Explanations m_explanations;
    BookletQuotes m_quotes;
    std::optional<ReviewDocument> m_review;
    bool m_fromTheTop = true; // the next marking shows from the top
    int m_score = 0;          // the marking's total, for the printed pages' header
    QList<Place> m_history;   // the places links were followed from, the latest last
    QTimer *m_rewriteTimer = nullptr; // writes the entries out of sight after a marking's frame
};
