#pragma once

#include <QWidget>

class QLabel;
class RichTextView;

// One of the six verdict windows: the pass rate of a score band in a coloured
// line, a one-line comment, and the pass-line reference table below them.
class VerdictWindow : public QWidget
{
    Q_OBJECT

public:
    // band: 1 (a full score) to 6 (no points).
    explicit VerdictWindow(int band, QWidget *parent = nullptr);

private:
    QLabel *m_passRateLabel = nullptr;
    QLabel *m_commentLabel = nullptr;
    RichTextView *m_passLineView = nullptr;
};
