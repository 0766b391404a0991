#pragma once

#include "explanations.h"
#include "marking.h"
#include "reviewdocument.h"

#include <QWidget>
#include <optional>

class QLabel;
class QStackedLayout;
class RichTextView;

// The review of the last marking: every question's ticks, the key's answer, the
// points and the explanation. Until there is a marking it shows only a notice.
class ReviewWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ReviewWindow(QWidget *parent = nullptr);

    // Shows the review of the marking, or the notice when there is none, from the top.
    void showMarking(const std::optional<Marking> &marking);

private:
    QStackedLayout *m_pages = nullptr;
    QLabel *m_noticeLabel = nullptr;
    RichTextView *m_reviewView = nullptr;
    Explanations m_explanations;
    std::optional<ReviewDocument> m_review;
};
