#pragma once

#include <QGroupBox>

// The frame around a question's check boxes, in standard colours: button face
// behind the frame and its boxes, button text, and the caption standing in the
// frame's top border line, so the frame reads the same on the yellow page as it
// would anywhere else.
class AnswerFrame : public QGroupBox
{
    Q_OBJECT

public:
    AnswerFrame(const QString &caption, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
